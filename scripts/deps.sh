#!/usr/bin/env bash
# Installs everything kstune needs to build, run and test on Debian 12, and any further packages
# named as arguments (the fuzz targets' compiler). Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config file
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  # The journal viewer's charts (whose CMake package needs the OpenGL one).
  qt6-charts-dev libqt6opengl6-dev
  # The viewer's visits workbook (.xlsx), and its tests' reading of the PDF page as text.
  libxlsxwriter-dev poppler-utils
  xvfb xauth x11-apps imagemagick fonts-dejavu-core fonts-liberation2 locales
  # Qt's own texts (the file dialog, the standard buttons) in the user's language.
  qt6-translations-l10n
  # The report's spreadsheet application and its SDK. kstune itself starts and works without
  # them (only "..." needs the office); the build makes the bridge module when the SDK is there.
  libreoffice-calc-nogui libreoffice-dev
  # The report tests' own .xlsx and .ods workbooks are edited as the zips they are.
  zip unzip
  # The station journal: Qt's SQLite driver for the bench's own file, its PostgreSQL driver for a
  # factory database, and PostgreSQL itself, which the journal's tests start a server of.
  libqt6sql6-sqlite libqt6sql6-psql postgresql-15 sqlite3
  # The copy to the factory server is written against libpq itself.
  libpq-dev pkg-config
  # The package test's checks of the .deb files: Debian's own linter and the AppStream validator.
  lintian appstream dpkg-dev
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The voltage display is tested under a locale with a decimal comma.
locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$' || { sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo); "${sudo_cmd[@]}" localedef -i ru_RU -f UTF-8 ru_RU.UTF-8; }
