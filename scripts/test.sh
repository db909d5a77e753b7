#!/usr/bin/env bash
# Installs, builds and runs every test: the normal build, then ASan+UBSan, then under TSan the
# tests labelled "threads" (tests/CMakeLists.txt), the only ones the TSan build builds. Exits
# non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
status=0

bash scripts/build.sh build
(cd build && ctest --output-on-failure -j "$jobs") || status=1

bash scripts/build.sh build-asan address
(cd build-asan && ctest --output-on-failure -j "$jobs") || status=1

bash scripts/build.sh build-tsan thread
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j "$jobs" -L threads) || status=1

exit $status
