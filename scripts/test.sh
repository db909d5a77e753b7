#!/usr/bin/env bash
# Installs, builds and runs every test: the normal build, then ASan+UBSan, then under TSan the
# tests labelled "threads" (tests/CMakeLists.txt), the only ones the TSan build builds. Exits
# non-zero when any test fails, and ends with how long each build and its tests took.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
status=0
times=()

report() {
  echo
  echo "Time taken:"
  printf '  %s\n' "${times[@]}"
  printf '  %-22s %4d s\n' "all" "$SECONDS"
}

# step <name> <command…>: runs one stage and remembers its time. A failed build ends the run (its
# tests could not run); failed tests are counted and the next build goes on.
step() {
  local name=$1 start=$SECONDS rc=0
  shift
  "$@" || rc=1
  times+=("$(printf '%-22s %4d s' "$name" $((SECONDS - start)))")
  if [ $rc -ne 0 ]; then
    status=1
    case $name in build*) report; exit 1 ;; esac
  fi
}

step "build" bash scripts/build.sh build
step "tests" bash -c 'cd build && ctest --output-on-failure -j "$1"' _ "$jobs"

step "build-asan" bash scripts/build.sh build-asan address
step "tests (ASan+UBSan)" bash -c 'cd build-asan && ctest --output-on-failure -j "$1"' _ "$jobs"

step "build-tsan" bash scripts/build.sh build-tsan thread
step "tests (TSan, threads)" bash -c 'cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j "$1" -L threads' _ "$jobs"

report
exit $status
