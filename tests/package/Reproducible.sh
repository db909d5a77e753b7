#!/usr/bin/env bash
# Reproducible.sh <build dir>: builds the packages a second time, from the same sources with the
# same options, in another folder, and checks that each .deb is the same byte for byte as the
# build dir's own (made before by the package target).
#
# The second build lives beside the first, in <build dir>-reproducible, and is kept: the next run
# only builds what changed. It builds the packaged programs only (KSTUNE_TESTS=OFF), with the
# first build's options, compiler launcher and sources' date (a first build configured before the
# last commit keeps that commit's date). Beside the first, at the same depth, a compiler cache
# whose base directory holds both (ccache's CCACHE_BASEDIR) serves it almost whole.
set -euo pipefail
build=$(cd "$1" && pwd)
cache=$build/CMakeCache.txt
value() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
source_dir=$(value CMAKE_HOME_DIRECTORY)
twin=$build-reproducible

# The options of the first build, whatever they are: the project's own and the compiler's.
options=(-G "$(value CMAKE_GENERATOR)" -DKSTUNE_TESTS=OFF)
while IFS= read -r line; do
  options+=("-D$line")
done < <(grep -E '^(KSTUNE_[A-Z0-9_]+|CMAKE_BUILD_TYPE|CMAKE_(C|CXX)_COMPILER(_LAUNCHER)?|CMAKE_(C|CXX)_FLAGS):' "$cache" |
  grep -v '^KSTUNE_TESTS:')
epoch=$(sed -n 's/.*set(ENV{SOURCE_DATE_EPOCH} \([0-9]*\)).*/\1/p' "$build/packaging/SourceDateEpoch.cmake")
[ -n "$epoch" ] || { echo "FAIL: no sources' date in $build/packaging/SourceDateEpoch.cmake"; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$epoch}
cmake -S "$source_dir" -B "$twin" "${options[@]}" >/dev/null
cmake --build "$twin" --target package >/dev/null

failures=0
shopt -s nullglob
for deb in "$build"/kstune*.deb; do
  other=$twin/$(basename "$deb")
  if [ ! -e "$other" ]; then
    echo "FAIL: $(basename "$deb") was not made by the second build"
    failures=$((failures + 1))
  elif ! cmp -s "$deb" "$other"; then
    echo "FAIL: $(basename "$deb") differs between $build and $twin"
    failures=$((failures + 1))
    # Say where: the control fields, the files that differ, and build folders left in them.
    diff <(ar tv "$deb") <(ar tv "$other") | sed 's/^/  ar: /' || true
    diff <(dpkg-deb -c "$deb") <(dpkg-deb -c "$other") | head -n 20 | sed 's/^/  files: /' || true
    a=$(mktemp -d) b=$(mktemp -d)
    dpkg-deb -R "$deb" "$a"
    dpkg-deb -R "$other" "$b"
    diff -r --brief "$a" "$b" | sed 's/^/  /' || true
    grep -rlF -e "$build" -e "$source_dir" "$a" "$b" 2>/dev/null | sed 's/^/  holds a build path: /' || true
    rm -rf "$a" "$b"
  fi
done
[ $failures -eq 0 ] && echo "packages built in two folders are identical: $(cd "$build" && ls kstune*.deb | tr '\n' ' ')" || exit 1
