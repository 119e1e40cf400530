#!/usr/bin/env bash
# run.sh EXE PREFIX [test arguments...]
#
# Runs a test executable on a 16-bit X screen: starts Xvfb on a free display,
# makes (once) a Wine prefix at PREFIX that draws through the X11 driver, runs
# EXE there and stops the server and Xvfb again.
set -euo pipefail
exe="$1"
prefix="$2"
shift 2
source "$(dirname "$0")/../../scripts/lib/common.sh"

displayfile="$(mktemp)"
xvfb_pid=""
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -f "$displayfile"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports its number.
Xvfb -displayfd 3 -screen 0 1024x768x16 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
for _ in $(seq 200); do
  [[ -s "$displayfile" ]] && break
  sleep 0.05
done
[[ -s "$displayfile" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"

# Keep Wine's service processes away from ctest's output pipe.
make_prefix "$prefix" x11 >/dev/null 2>&1 </dev/null
start_wine_services >/dev/null 2>&1 </dev/null

cd "$(dirname "$exe")"
wine "$exe" "$@"
