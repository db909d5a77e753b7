#!/usr/bin/env bash
# Installs what kstune needs, builds it and starts it together with a simulated station on
# COM2, so that "Подключиться" works at once. Without a display it runs on a virtual X display
# and says how to look at the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# A fresh clone builds for several minutes: ninja's [step/total] lines show how far it is.
echo "Building kstune in build/ ..."
bash scripts/build.sh build

config=${XDG_CONFIG_HOME:-}
[ -n "$config" ] || config=$HOME/.config
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

# A COM2 that is already there is a real station (or one started by hand): leave it alone.
if [ -e "$config/kstune/com2" ] || [ -L "$config/kstune/com2" ]; then
  echo "COM2 is $(readlink -f "$config/kstune/com2" 2>/dev/null || echo "$config/kstune/com2"): no simulated station started."
else
  ./build/station/kstune-station --com 2 --pace &
  pids+=($!)
  for _ in $(seq 50); do [ -L "$config/kstune/com2" ] && break; sleep 0.1; done
  echo "Simulated station on COM2 ($config/kstune/com2)."
fi

if [ -z "${DISPLAY:-}" ]; then
  display=:${KSTUNE_XVFB_DISPLAY:-77}
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  export DISPLAY=$display
  echo "No display: kstune runs on the virtual display $display."
  echo "Look at it with:  xwd -root -display $display | convert xwd:- kstune.png"
  echo "Stop it with Ctrl+C."
fi
./build/main/kstune
