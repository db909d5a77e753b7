#!/usr/bin/env bash
# build.sh <build dir> [sanitizer: address|thread]  — configures and builds one tree.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
san=${2:-}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSTUNE_SANITIZE="$san"
cmake --build "$dir" -j "$(nproc)"
