#!/usr/bin/env bash
# RelativePaths.sh <build dir>: compiles a few of the build's own files twice, once as the build
# does (absolute paths) and once with the paths under the sources and the build folder made
# relative to the build folder, as a compiler cache with a base directory (ccache's
# CCACHE_BASEDIR) hands them to the compiler; the two objects must be the same byte for byte and
# name no folder of the build, or packages built through the cache would differ from the others.
set -euo pipefail
build=$(cd "$1" && pwd)
commands=$build/compile_commands.json
[ -s "$commands" ] || { echo "FAIL: no $commands"; exit 1; }
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:[A-Z]*=//p' "$build/CMakeCache.txt")
sources_from_build=$(realpath -m --relative-to="$build" "$source_dir")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The relative spelling of one argument: a folder under the build folder becomes relative to it,
# one under the sources relative to the build folder; the prefix maps themselves stay as written.
relative() {
  local arg=$1 option=
  case $arg in -ffile-prefix-map=* | -fdebug-prefix-map=* | -fmacro-prefix-map=*) echo "$arg"; return ;; esac
  [[ $arg =~ ^(-I|-isystem|-iquote|-include)(.*)$ ]] && { option=${BASH_REMATCH[1]}; arg=${BASH_REMATCH[2]}; }
  if [ "$arg" = "$build" ]; then arg=.
  elif [[ $arg == "$build"/* ]]; then arg=${arg#"$build"/}
  elif [ "$arg" = "$source_dir" ]; then arg=$sources_from_build
  elif [[ $arg == "$source_dir"/* ]]; then arg=$sources_from_build/${arg#"$source_dir"/}
  fi
  echo "$option$arg"
}

failures=0
# A source of the project that includes a header made in the build folder (the window's layout),
# and a file made in the build folder that includes the project's headers by relative path (moc).
for file in "$source_dir/main/GridDelegate.cpp" "$build/main/kstune_tool_autogen/mocs_compilation.cpp"; do
  line=$(grep -F "\"command\": " "$commands" | grep -F -- " -c $file\"" | head -n 1 || true)
  [ -n "$line" ] || { echo "FAIL: $file is not compiled by $build"; failures=$((failures + 1)); continue; }
  command=$(sed -e 's/^ *"command": "//' -e 's/",\{0,1\}$//' -e 's/\\"/"/g' -e 's/\\\\/\\/g' <<<"$line")
  eval "words=($command)"
  absolute=() relative_words=()
  skip=
  for word in "${words[@]}"; do
    if [ -n "$skip" ]; then skip=; continue; fi
    # The output goes to the scratch folder, named below.
    if [ "$word" = -o ]; then skip=1; continue; fi
    absolute+=("$word")
    relative_words+=("$(relative "$word")")
  done
  name=$(basename "$file" .cpp)
  (cd "$build" && "${absolute[@]}" -o "$scratch/$name-absolute.o" && "${relative_words[@]}" -o "$scratch/$name-relative.o") ||
    { echo "FAIL: $file does not compile"; failures=$((failures + 1)); continue; }
  if ! cmp -s "$scratch/$name-absolute.o" "$scratch/$name-relative.o"; then
    echo "FAIL: $file gives another object when its paths are relative to the build folder; file names in its line table:"
    names() { readelf -p .debug_line_str "$1" | sed -n 's/^ *\[ *[0-9a-f]*\] *//p' | sort -u; }
    diff <(names "$scratch/$name-absolute.o") <(names "$scratch/$name-relative.o") | grep '^[<>]' | head -n 10 |
      sed -e 's/^</  absolute:/' -e 's/^>/  relative:/' || true
    failures=$((failures + 1))
  fi
  for object in "$scratch/$name-absolute.o" "$scratch/$name-relative.o"; do
    if grep -qaF -e "$source_dir" -e "$build" "$object"; then
      echo "FAIL: $(basename "$object") names a build folder: $(grep -aoF -e "$source_dir" -e "$build" "$object" | sort -u | tr '\n' ' ')"
      failures=$((failures + 1))
    fi
  done
done
[ $failures -eq 0 ] || exit 1
echo "objects are the same from absolute and from relative paths"
