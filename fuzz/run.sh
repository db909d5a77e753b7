#!/usr/bin/env bash
# run.sh [seconds]  — builds the string-table reader's fuzz target with clang (libFuzzer,
# ASan, UBSan) in build-fuzz/ and runs it for the given time (default 60 s), seeded with the
# program's own tables. Kept apart from the CMake build, which uses g++.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cxx=${CXX_FUZZ:-clang++-14}
out=build-fuzz
mkdir -p "$out/corpus"
flags=(-std=c++20 -g -O1 -I. -I"$out")

"$cxx" "${flags[@]}" resources/str0gen/str0gen.cpp -o "$out/str0gen"
for table in ADSRMGR_STRINGS SERX_ERROR_STRINGS_ENGLISH; do
  "$out/str0gen" compile "resources/$table.txt" "$out/corpus/$table.str0"
done
"$out/str0gen" embed "$out/StringTables.cpp" \
  ADSRMGR_STRINGS="$out/corpus/ADSRMGR_STRINGS.str0" \
  SERX_ERROR_STRINGS_ENGLISH="$out/corpus/SERX_ERROR_STRINGS_ENGLISH.str0"

"$cxx" "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  fuzz/AdSrMgrFuzz.cpp serial/AdSrMgr.cpp platform/ModuleResources.cpp "$out/StringTables.cpp" \
  -o "$out/AdSrMgrFuzz"
"$out/AdSrMgrFuzz" -max_total_time="$seconds" -max_len=4096 "$out/corpus"
