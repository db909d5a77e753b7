#!/usr/bin/env bash
# Retakes the pictures of docs/guide.md from the real window: kstune and the simulated station
# run on a virtual X display with a scratch settings folder, xdotool clicks as a technician would,
# and each picture is the kstune window alone. Run it after the window changes:
#   bash scripts/screenshots.sh [build dir]        (default build; needs a built tree)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs/images
for tool in Xvfb xdotool xwd convert; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh needs $tool: apt-get install xvfb xdotool x11-apps imagemagick" >&2; exit 1; }
done
for program in "$build/main/kstune" "$build/station/kstune-station"; do
  [ -x "$program" ] || { echo "screenshots.sh: $program is not built (bash scripts/build.sh $build)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  # Last started first: kstune ends its office instance while the display is still there.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/kstune" "$out"
# A model with believable starting values, so that the pictures show a station being tuned.
cat >"$XDG_CONFIG_HOME/kstune/Q417Options.ini" <<'INI'
[All]
Poz=KS43
Port=2
[KS43]
CORF=120
AF1=120
MOD2=200
D_ON=188
D_OFF=193
TUNE=55
G_ON=65
G_OFF=55
DEV=83
POW_5=25
P1_5=155
POW_10=44
P1_10=171
POW_25=87
P1_25=203
POW_40=121
P1_40=244
UNCH_ON140_146=150
UNCH_ON146_148=148
UNCH_ON148_154=146
UNCH_ON154_162=141
UNCH_ON162_170=137
UNCH_ON170_174=133
UNCH_OFF140_146=20
UNCH_OFF146_148=20
UNCH_OFF148_154=19
UNCH_OFF154_162=18
UNCH_OFF162_170=18
UNCH_OFF170_174=17
INI
display=:${KSTUNE_SHOT_DISPLAY:-93}
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$build/station/kstune-station" --com 2 --pace >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -L "$XDG_CONFIG_HOME/kstune/com2" ] && break; sleep 0.1; done

"$build/main/kstune" &
kstune_pid=$!
pids+=($kstune_pid)
window=$(xdotool search --sync --onlyvisible --name "Ручная настройка" | head -n1)
sleep 1

# Positions are those of the window's layout (resources/UnitMain.ui), inside the window.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep "${3:-0.5}"; }
# Without time chunks and time stamps: a picture whose pixels did not change stays the same file.
png_stable="-strip -define png:exclude-chunks=date,time"
shoot() {
  xdotool mousemove 1000 740 # away from the window, so that no hint covers it
  sleep 0.5
  xwd -silent -id "$window" | convert xwd:- $png_stable "$out/$1.png"
  echo "$out/$1.png"
}

shoot not-connected

click 641 47 2        # "Подключиться"
click 656 186         # "ЦАП"
click 641 103 3       # "Запись": all values to the station; the DAC lines follow about 1.5 s later
shoot connected-dac

click 60 42           # the DEV field: the parameter is chosen
click 223 59          # step 5
click 484 186 3       # "Параметр +", and the DAC lines again
shoot parameter

# The report panel: "..." with a workbook that has the "Конец теста" row, when the office is there.
if command -v soffice >/dev/null; then
  printf 'Протокол испытаний\nKS43\nКонец теста\n' >"$work/report.csv"
  (cd "$work" && soffice --headless --convert-to xls:"MS Excel 97" --infilter=CSV:44,34,76 report.csv >/dev/null 2>&1) || true
fi
click 176 311 2       # "..."
dialog=$(xdotool search --onlyvisible --name "." | grep -v "^$window$" | tail -n1 || true)
if [ -n "$dialog" ] && [ -f "$work/report.xls" ]; then
  xdotool mousemove --window "$dialog" 20 20
  xdotool type --delay 20 "$work/report.xls"
  sleep 0.5
  xdotool key Return
  sleep 2
  # A Return taken by the file name's completion leaves the dialog open and starts no office.
  if xwininfo -id "$dialog" 2>/dev/null | grep -q IsViewable && [ -z "$(pgrep -P "$kstune_pid" || true)" ]; then
    xdotool key Return
  fi
  # The dialog goes away only when the office has opened the report, which may take a while.
  for _ in $(seq 240); do
    [ -z "$(xdotool search --onlyvisible --name "." | grep -v "^$window$" || true)" ] && break
    sleep 0.5
  done
  sleep 3
else
  xdotool key Escape
  sleep 0.5
fi
shoot report
convert "$out/report.png" -crop 193x142+0+220 +repage $png_stable "$out/report-panel.png"
echo "$out/report-panel.png"
