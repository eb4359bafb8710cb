#!/bin/sh
# Runs a window test program on a private X server (xvfb-run) with openbox as
# its window manager, so that activation and focus behave as on a desktop.
# Exits 77 (skipped) when xvfb-run or openbox is missing.
#   run_under_wm.sh PROGRAM [ARGS...]
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v openbox >/dev/null 2>&1; then
  echo "skipped: no xvfb-run/openbox"
  exit 77
fi
# The test needs the X server, whatever platform the other window tests use.
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
# openbox runs synchronously (--sync), which slows it down: by the time it
# looks for a window to focus after the question box closed, the directory
# chooser has closed too, as happens at random on a busy desktop.
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  ready=$(mktemp -u)
  openbox --sync --sm-disable --startup "touch $ready" &
  wm=$!
  tries=0
  while [ ! -e "$ready" ] && [ $tries -lt 200 ]; do sleep 0.05; tries=$((tries + 1)); done
  if [ ! -e "$ready" ]; then echo "openbox did not start" >&2; kill $wm 2>/dev/null; exit 1; fi
  rm -f "$ready"
  "$@"
  status=$?
  kill $wm 2>/dev/null
  wait $wm
  exit $status
' run_under_wm "$@"
