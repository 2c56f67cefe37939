#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and starts the
# unpacked program as a new user would start it from the desktop's menu: the
# desktop entry's Exec line, a fresh home, a virtual display. The program must
# make the user's database from the installed template, and New, typing and
# Save must store a contact in it.
# Usage: package_test.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
display_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The package, as `cpack -G DEB` in the build folder makes it.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >cpack.log 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/package/*.deb | head -n 1)
[ -f "$deb" ] || fail "no package was made"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libqt6printsupport6 libsqlite3-0 libc6; do
    [[ "$depends" == *"$library"* ]] || fail "the package does not depend on $library"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/corvana usr/bin/corvana-db usr/share/corvana/_db.mdb \
    usr/share/corvana/Corvana.html usr/share/applications/com.brennart.Corvana.desktop \
    usr/share/metainfo/com.brennart.Corvana.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/com.brennart.Corvana.svg \
    usr/share/icons/hicolor/48x48/apps/com.brennart.Corvana.png; do
    [ -e "$root/$file" ] || fail "the package lacks $file"
done
"$root/usr/bin/corvana-db" summary "$root/usr/share/corvana/_db.mdb" | grep -q '^Contacts: 0$' ||
    fail "the template database is not empty"

# A virtual display of its own and an empty home.
home="$work/home"
mkdir -p "$home"
display=
for n in $(seq 90 160); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=$n
        break
    fi
done
[ -n "$display" ] || fail "no free display number"
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
display_pid=$!
for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || { cat "$work/xvfb.log" >&2; fail "the virtual display did not start"; }
export DISPLAY=":$display"

exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/com.brennart.Corvana.desktop")
(cd / && env -i DISPLAY="$DISPLAY" HOME="$home" PATH="$root/usr/bin:/usr/bin:/bin" \
    LANG=C.UTF-8 $exec_line >"$work/program.log" 2>&1) &
program_pid=$!

window=
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Corvana - Business Contacts Database$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program ended"; }
    sleep 0.2
done
[ -n "$window" ] || fail "no main window appeared"

database="$home/.local/share/Brennart/Corvana/_db.mdb"
[ -f "$database" ] || { find "$home" >&2; fail "no database in the user's data folder"; }

# New, a company name, Save, then Exit, all from the keyboard, as a user
# types them into the focused window.
# The window may be found a moment before it can take the focus.
for _ in $(seq 1 20); do
    xdotool windowfocus --sync "$window" 2>/dev/null && break
    sleep 0.2
done
sleep 0.5
xdotool key ctrl+n
sleep 0.3
xdotool type --delay 20 "Packaged Test Co"
xdotool key ctrl+s
sleep 0.5
xdotool key ctrl+q || true
for _ in $(seq 1 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && fail "Exit did not end the program"
program_pid=

stored=$(sqlite3 "$database" "select count(*) from Contacts where CompanyName = 'Packaged Test Co'")
[ "$stored" = 1 ] || { cat "$work/program.log" >&2; fail "the new contact was not stored ($stored)"; }
[ -f "$root/usr/share/corvana/_db.mdb" ] &&
    "$root/usr/bin/corvana-db" summary "$root/usr/share/corvana/_db.mdb" | grep -q '^Contacts: 0$' ||
    fail "the template was changed"
echo "PASS: package $(basename "$deb") installs, starts and stores a contact in $database"
