#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# only those that are missing, so a second run costs a few dpkg queries.
set -euo pipefail

PACKAGES=(
    build-essential cmake qt6-base-dev libsqlite3-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-liberation2 xvfb xauth
    desktop-file-utils appstream dpkg-dev xdotool sqlite3
    libical-dev python3-icalendar dbus-daemon
    libpq-dev postgresql postgresql-contrib
)

missing=()
for package in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    if [ "$status" != "installed" ]; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "Missing packages (${missing[*]}) and not running as root; install them and retry." >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
