#!/usr/bin/env bash
# Installs what is missing, builds Banterly and runs every test: unit and
# widget tests, end-to-end tests on the real program under Xvfb, and short
# fuzzing runs.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh
cd build
ctest --output-on-failure -j2 -LE e2e
ctest --output-on-failure -L e2e
