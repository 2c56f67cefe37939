#!/usr/bin/env bash
# Configures and builds in build/ at the top of the checkout.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

cmake -S . -B build
cmake --build build -j "$(nproc)"
