#!/usr/bin/env bash
# PackageTest.sh <build dir> <version>: builds the Debian package, unpacks it into a throw-away
# root and runs both programs from there, as a bench PC would after installing it; then builds
# the packages again in another folder and compares them (Reproducible.sh).
set -euo pipefail
build=$1
version=$2
cmake --build "$build" --target package >/dev/null
shopt -s nullglob
debs=("$build"/kstune_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one kstune_${version}_*.deb in $build, found ${#debs[@]}"; exit 1; }
deb=${debs[0]}
office_debs=("$build"/kstune-office_"$version"_*.deb)
office_root=
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
kstune --help|0|Usage: kstune [options]
kstune --frequency 5|2|
kstune-station --help|0|Usage: kstune-station [--com N] [--pace] [--log]
kstune-station --version|0|kstune-station $version
ROWS

# Without a display: one line on standard error and status 1, not Qt's abort.
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/kstune" 2>&1 >/dev/null) && got=0 || got=$?
[ "$got" -eq 1 ] || fail "kstune without a display: exit status $got, expected 1"
[ "$(wc -l <<<"$err")" -eq 1 ] && [[ $err == "kstune: no display"* ]] || fail "kstune without a display said: $err"

# What the menu and man need, and the office suite only recommended.
for file in usr/share/applications/kstune.desktop usr/share/icons/hicolor/48x48/apps/kstune.png \
  usr/share/icons/hicolor/scalable/apps/kstune.svg usr/share/man/man1/kstune.1.gz \
  usr/share/man/man1/kstune-station.1.gz usr/share/man/man1/kstune-journal.1.gz usr/bin/kstune-journal \
  usr/share/doc/kstune/copyright usr/share/doc/kstune/guide.md \
  usr/share/doc/kstune/changelog.gz usr/share/metainfo/org.example.kstune.metainfo.xml \
  usr/share/doc/kstune/factory-server.md usr/share/kstune/factory-journal.sql; do
  [ -s "$root/$file" ] || fail "$file missing from the package"
done
# The office bridge, when built, is a package of its own that brings the office suite; kstune
# itself needs none of it and only recommends the bridge.
[ ! -e "$root/usr/lib/kstune/office" ] || fail "kstune carries the office bridge"
if [ -e "$build/main/kstune-office.so" ]; then
  [ ${#office_debs[@]} -eq 1 ] || fail "expected one kstune-office_${version}_*.deb, found ${#office_debs[@]}"
  office_root=$root/office
  mkdir -p "$office_root"
  dpkg -x "${office_debs[0]}" "$office_root"
  [ -s "$office_root/usr/lib/kstune/office/kstune-office.so" ] || fail "the office bridge is not in /usr/lib/kstune/office"
  [ -s "$office_root/usr/share/doc/kstune-office/copyright" ] || fail "kstune-office has no copyright file"
  office_depends=$(dpkg-deb -f "${office_debs[0]}" Depends)
  [[ $office_depends == *"kstune (= $version)"* ]] || fail "kstune-office Depends lacks kstune (= $version): $office_depends"
  [[ $office_depends == *"libreoffice-calc | libreoffice-calc-nogui"* ]] || fail "kstune-office Depends: $office_depends"
  [[ $office_depends == *libuno-cppu3* ]] || fail "kstune-office Depends lacks the UNO libraries: $office_depends"
fi
# An installed program names no folder of the build that made it: a module or file looked for
# there could be planted by whoever can write that folder (a build in /tmp).
build_dir=$(cd "$build" && pwd -P)
for binary in "$root"/usr/bin/* ${office_root:+"$office_root"/usr/lib/kstune/office/*}; do
  ! strings -a "$binary" | grep -qF "$build_dir" || fail "${binary#"$root"} names the build folder $build_dir"
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends lacks the Qt libraries: $depends"
for wanted in fonts-liberation2 qt6-translations-l10n libqt6sql6-sqlite; do
  [[ $depends == *$wanted* ]] || fail "Depends lacks $wanted: $depends"
done
for unwanted in libreoffice uno; do
  [[ $depends != *$unwanted* ]] || fail "Depends names the office suite ($unwanted): $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = kstune-office ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
# The changelog's date is the build's, not one written by hand.
changelog_date=$(zcat "$root/usr/share/doc/kstune/changelog.gz" | sed -n 's/^ -- .*>  //p')
[ "$changelog_date" != "Mon, 07 Dec 2026 12:00:00 +0000" ] && date -d "$changelog_date" >/dev/null 2>&1 ||
  fail "changelog date: '$changelog_date'"
# The manual pages carry the sources' date, one date for all, nothing written by hand.
man_dates=$(for page in kstune kstune-station kstune-journal; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | sed -n 's/^\.TH [^ ]* 1 "\([^"]*\)".*/\1/p'
done | sort -u)
[ "$(wc -l <<<"$man_dates")" -eq 1 ] && [[ $man_dates != *@* ]] && [ "$man_dates" = "$(LC_ALL=C date -u -d "$changelog_date" '+%B %Y')" ] ||
  fail "manual page dates: $(tr '\n' ' ' <<<"$man_dates"), changelog $changelog_date"
# Debian's hardening flags: fortified calls, stack protector, full RELRO with bind-now.
if command -v lintian >/dev/null; then
  tags=$(lintian --display-info --pedantic "$deb" ${office_debs[@]+"${office_debs[@]}"} 2>&1 | grep -E '^[EWIP]: ' || true)
  hardening=$(grep -E 'hardening-' <<<"$tags" || true)
  [ -z "$hardening" ] || fail "lintian reports missing hardening: $hardening"
  errors=$(grep -E '^[EW]: ' <<<"$tags" || true)
  [ -z "$errors" ] || fail "lintian errors or warnings: $errors"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.example.kstune.metainfo.xml" >/dev/null 2>&1 ||
    fail "the AppStream metainfo does not validate: $(appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.kstune.metainfo.xml" 2>&1 | tail -n 5)"
fi
if find "$root" -type f -exec file {} + | grep -q 'ELF.*not stripped'; then fail "unstripped binaries"; fi

# The same sources give the same packages, wherever they are built.
"$(dirname "$0")/Reproducible.sh" "$build" || fail "the packages are not reproducible"

[ $failures -eq 0 ] && echo "package $(basename "$deb") installs and runs" || exit 1
