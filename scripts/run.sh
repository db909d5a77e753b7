#!/usr/bin/env bash
# Installs what kstune needs, builds it and starts it. Without a display it runs on a virtual
# X display and says how to look at the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh build >/dev/null
if [ -z "${DISPLAY:-}" ]; then
  display=:${KSTUNE_XVFB_DISPLAY:-77}
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  sleep 1
  export DISPLAY=$display
  echo "No display: kstune runs on the virtual display $display."
  echo "Look at it with:  xwd -root -display $display | convert xwd:- kstune.png"
fi
exec_status=0
./build/main/kstune || exec_status=$?
exit $exec_status
