#!/usr/bin/env bash
# Remakes docs/response-dialog.png: morvane on the simulated drive under a virtual X server,
# driven like a user would (Connect, Span 100 ms, then Test with P gain 650, 1300 and 325, each
# applied first), and the response dialog's window taken from the X server.
# Needs xvfb, xdotool, x11-apps (xwd) and netpbm; run from the repository with a built build/.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/response-dialog.png}
display=:${KMR_SCREENSHOT_DISPLAY:-57}
# Wide enough for the dialog with its tuning assistant beside the main window.
Xvfb "$display" -screen 0 2400x1024x24 >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
sleep 1
build/programs/morvane --simulate >/dev/null 2>&1 &
morvane=$!
trap 'kill $morvane $xvfb 2>/dev/null || true' EXIT
sleep 2
window=$(xdotool search --name '^Morvane$' | head -1)

# Without a window manager everything sits at the top left; these are the widgets' places there.
click() { xdotool mousemove "$1" "$2" mousedown 1; sleep 0.2; xdotool mouseup 1; sleep "${3:-0.5}"; }
keys() { xdotool windowfocus "$window"; xdotool key "$@"; }

click 91 624 1.5                            # Connect
xdotool key --window "$(xdotool search --name '^Connecting$' | head -1)" Return
sleep 2
keys alt+d; sleep 0.6                       # Diagnosis
xdotool mousemove 150 58; sleep 0.3
xdotool mousemove 160 60; sleep 0.8          # Show response graph after test
xdotool mousemove 300 60; xdotool mousemove 400 60; sleep 0.5
click 400 60                                # Span 100 ms
keys alt+t; sleep 3                         # Test with the drive's own gains
dialog=$(xdotool search --name '^Response graphs$' | head -1)
xdotool windowmove "$dialog" 460 0           # off the main window's buttons
sleep 0.5
for gain in 1300 325; do
    xdotool mousemove 232 506 click --repeat 3 1; sleep 0.3   # P gain of axis 1
    keys ctrl+a; xdotool type "$gain"; sleep 0.3
    click 318 624 1.5                       # Apply
    keys alt+t; sleep 3                     # Test
done
sleep 1
xdotool mousemove 700 110; sleep 0.5         # a readout under the pointer
xwd -id "$dialog" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out"
echo "wrote $out"
