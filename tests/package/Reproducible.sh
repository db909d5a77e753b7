#!/usr/bin/env bash
# Reproducible.sh <build dir>: builds the packages a second time, from the same sources with the
# same options, in another folder, and checks that each .deb is the same byte for byte as the
# build dir's own (made before by the package target).
#
# The second build lives beside the first, in <build dir>-reproducible (at the same depth, as Qt's
# moc names headers by their path from the build folder), and is kept: the next run only builds
# what changed. It builds the packaged programs only (KSTUNE_TESTS=OFF), with the first build's
# options, compiler launcher and sources' date (a first build configured before the last commit
# keeps that commit's date); its output goes to second-build.log there. A compiler cache
# whose base directory holds both folders (ccache's CCACHE_BASEDIR) may serve it almost whole:
# the programs of both builds are checked for the build folders' names, so that an object taken
# from the other folder's build cannot make the packages agree by carrying its name into both.
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
mkdir -p "$twin"
log=$twin/second-build.log
if ! { cmake -S "$source_dir" -B "$twin" "${options[@]}" && cmake --build "$twin" --target package; } >"$log" 2>&1; then
  echo "FAIL: the second build in $twin failed; the end of $log:"
  tail -n 20 "$log" | sed 's/^/  /'
  exit 1
fi

failures=0
shopt -s nullglob
# The programs as built, before packaging strips them: their debug information names every file
# compiled in, so a folder of either build shows there even when the stripped copy hides it. An
# object that a compiler cache took from the other folder would carry that folder's name here,
# and the packages would then agree without proving anything.
programs=$(find "$build" "$twin" -name _CPack_Packages -prune -o -name CMakeFiles -prune -o -type f \
  \( -name kstune -o -name kstune-station -o -name kstune-journal -o -name 'kstune-office.so' \) -print)
[ -n "$programs" ] || { echo "FAIL: no programs found in $build and $twin"; exit 1; }
while IFS= read -r program; do
  if grep -qaF -e "$source_dir" -e "$build" -e "$twin" "$program"; then
    echo "FAIL: $program names a build folder: $(grep -aoF -e "$source_dir" -e "$build" -e "$twin" "$program" | sort -u | tr '\n' ' ')"
    failures=$((failures + 1))
  fi
done <<<"$programs"
debs=("$build"/kstune*.deb)
[ ${#debs[@]} -gt 0 ] || { echo "FAIL: no kstune*.deb in $build (build its package target first)"; exit 1; }
for deb in "${debs[@]}"; do
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
    # A program that differs: its build ID covers the debug information the package strips.
    diff -rq "$a" "$b" | sed -n 's/^Files \(.*\) and .* differ$/\1/p' | while IFS= read -r file; do
      if file "$file" | grep -q ELF; then
        echo "  build IDs of ${file#"$a"}: $(file "$file" "$b${file#"$a"}" | grep -o 'BuildID\[[a-z0-9]*\]=[0-9a-f]*' | tr '\n' ' ')"
      fi
    done
    grep -rlF -e "$build" -e "$source_dir" "$a" "$b" 2>/dev/null | sed 's/^/  holds a build path: /' || true
    rm -rf "$a" "$b"
  fi
done
[ $failures -eq 0 ] || exit 1
echo "packages built in two folders are identical: $(cd "$build" && ls kstune*.deb | tr '\n' ' ')(second build and check: $SECONDS s)"
