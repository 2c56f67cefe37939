#!/usr/bin/env bash
# A long run of the record cursor's model-based random test (the test suite
# runs a short one). Usage: scripts/cursor-model.sh [steps] [first seed]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

steps=${1:-100000}
seed=${2:-$(date +%s)}
bash scripts/install-deps.sh
bash scripts/build.sh
echo "cursor model: $steps steps from seed $seed"
CORVANA_CURSOR_MODEL_STEPS=$steps CORVANA_CURSOR_MODEL_SEED=$seed QT_QPA_PLATFORM=offscreen \
    build/bin/corvana_data_tests --gtest_filter='CursorModel.*'
