#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the sample
# database beside it. The program needs a display (or xvfb-run).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
bash scripts/build.sh

exec build/bin/corvana "$@"
