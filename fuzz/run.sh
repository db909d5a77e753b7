#!/usr/bin/env bash
# run.sh [seconds]  — builds every fuzz target (fuzz/CMakeLists.txt) with clang 14, libFuzzer,
# ASan and UBSan in build-fuzz/, and runs each for the given time (default 60 s), seeded with the
# corpora in fuzz/corpus/<target>/ (plus the program's own string tables for the table reader).
# New inputs that libFuzzer finds go to build-fuzz/corpus/<target>/, not into the repository.
# Needs the packages of scripts/deps.sh, and clang-14 with libclang-rt-14-dev (libFuzzer and the
# sanitizer runtimes), which it installs with apt-get when they are missing.
# Stops at the first target that finds something, leaving its crash-* file in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/deps.sh clang-14 libclang-rt-14-dev
out=build-fuzz
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S fuzz -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" \
  -DKSTUNE_SANITIZE=address -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
targets=(AdSrMgrFuzz PrivateProfileFuzz StrToIntFuzz NumberSeriesFuzz SnapshotFuzz)
# The generators run at build time are instrumented too; they need not be leak-free.
ASAN_OPTIONS=detect_leaks=0 cmake --build "$out" -j2 --target "${targets[@]}"

for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  if [[ $target == AdSrMgrFuzz ]]; then
    cp "$out"/kstune/resources/*.str0 "$corpus"/ # the program's own tables
  fi
  leaks=1
  if [[ $target == NumberSeriesFuzz ]]; then
    leaks=0 # the window toolkit fills caches of its own on the first inputs
  fi
  echo "== $target: $seconds s"
  ASAN_OPTIONS=detect_leaks=$leaks "$out/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
    -artifact_prefix="$out/" "$corpus" "fuzz/corpus/$target"
done
