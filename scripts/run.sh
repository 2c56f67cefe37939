#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Until the
# program exists, shows what the sample database beside it holds.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
bash scripts/build.sh

if [ -x build/bin/corvana ]; then
    exec build/bin/corvana "$@"
fi
exec build/bin/corvana-db summary build/bin/_db.mdb
