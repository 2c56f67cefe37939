#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Needs no display:
# windows, where tests make them, are drawn off screen.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
bash scripts/build.sh

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure
