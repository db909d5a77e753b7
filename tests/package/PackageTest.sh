#!/usr/bin/env bash
# PackageTest.sh <build dir> <version>: builds the Debian package, unpacks it into a throw-away
# root and runs both programs from there, as a bench PC would after installing it.
set -euo pipefail
build=$1
version=$2
cmake --build "$build" --target package >/dev/null
shopt -s nullglob
debs=("$build"/kstune_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one kstune_${version}_*.deb in $build, found ${#debs[@]}"; exit 1; }
deb=${debs[0]}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# command | exit status | first line of its standard output
while IFS='|' read -r command status first; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $root/usr/bin/$command 2>/dev/null) && got=0 || got=$?
  [ "$got" -eq "$status" ] || fail "$command: exit status $got, expected $status"
  [ "$(head -n1 <<<"$out")" = "$first" ] || fail "$command: printed '$(head -n1 <<<"$out")', expected '$first'"
done <<ROWS
kstune --version|0|kstune $version
kstune --help|0|Usage: kstune [--help | --version | --trace FILE]
kstune --frequency 5|2|
kstune-station --help|0|Usage: kstune-station [--com N] [--pace] [--log]
kstune-station --version|0|kstune-station $version
ROWS

# What the menu and man need, and the office suite only recommended.
for file in usr/share/applications/kstune.desktop usr/share/icons/hicolor/48x48/apps/kstune.png \
  usr/share/icons/hicolor/scalable/apps/kstune.svg usr/share/man/man1/kstune.1.gz \
  usr/share/man/man1/kstune-station.1.gz usr/share/doc/kstune/copyright usr/share/doc/kstune/guide.md; do
  [ -s "$root/$file" ] || fail "$file missing from the package"
done
# The office bridge, when built, goes into the program's library folder, where kstune loads it from.
if [ -e "$build/main/kstune-office.so" ] && [ ! -s "$root/usr/lib/kstune/office/kstune-office.so" ]; then
  fail "the office bridge module is not in /usr/lib/kstune/office"
fi
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends lacks the Qt libraries: $depends"
[[ $depends != *libreoffice* ]] || fail "Depends names the office suite: $depends"
[[ $depends == *libqt6sql6-sqlite* ]] || fail "Depends lacks the journal's SQLite driver: $depends"
[ "$(dpkg-deb -f "$deb" Recommends)" = "libreoffice-calc-nogui, libqt6sql6-psql" ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
if find "$root" -type f -exec file {} + | grep -q 'ELF.*not stripped'; then fail "unstripped binaries"; fi

[ $failures -eq 0 ] && echo "package $(basename "$deb") installs and runs" || exit 1
