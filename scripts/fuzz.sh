#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 20) from its seed corpus and over the hostile files
# in tests/data/<name>/ when that folder exists. Any crash fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBANTERLY_FUZZ=ON -DBANTERLY_TESTS=OFF -DBANTERLY_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_all -j"$(nproc)"
shopt -s nullglob
targets=(build-fuzz/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then echo "no fuzz targets"; exit 0; fi
passed=0
for target in "${targets[@]}"; do
  [ -f "$target" ] && [ -x "$target" ] || continue  # skip the build's own folders (automoc)
  name=$(basename "$target"); name=${name#fuzz_}
  work=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
  extra=()
  [ -d "tests/data/$name" ] && extra+=("tests/data/$name")
  echo "fuzzing $name for ${seconds}s"
  (cd "$work" && "$OLDPWD/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
     -max_len=1048576 -print_final_stats=0 . "${extra[@]/#/$OLDPWD/}" >"$work.log" 2>&1) || {
    tail -50 "$work.log"; echo "fuzz target $name failed"; exit 1; }
  passed=$((passed + 1))
  rm -rf "$work" "$work.log"
done
echo "fuzz: $passed passed, 0 failed"
