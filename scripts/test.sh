#!/usr/bin/env bash
# Installs what is missing, builds Banterly and runs every test: unit and
# widget tests (also under AddressSanitizer and UndefinedBehaviorSanitizer),
# end-to-end tests on the real program under Xvfb, and short fuzzing runs.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh

echo "== unit and widget tests"
(cd build && ctest --output-on-failure -j2 -LE e2e)

echo "== unit and widget tests with sanitizers"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBANTERLY_SANITIZE=ON -DBANTERLY_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/../scripts/lsan.supp" \
  ctest --output-on-failure -j2 -LE e2e)

echo "== fuzzing"
./scripts/fuzz.sh

echo "== end-to-end tests"
(cd build && ctest --output-on-failure -L e2e)
