#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# screenshots.sh [BUILD] [OUT]: makes the README's pictures of the editor again, in a virtual
# display without a window manager, so that they show the window alone:
#   OUT/editor.png  the editor on the example classification (examples/regions.tree)
#   OUT/find.png    the find panel of the classification chooser over it, with two results
# BUILD is the build folder (default build), OUT the folder of the pictures (default doc).
# Needs Xvfb, xdotool and ImageMagick (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-doc}
editor=$build/settree
[ -x "$editor" ] || { echo "screenshots: no $editor; run make build first" >&2; exit 2; }
for tool in Xvfb xdotool import convert; do
  command -v $tool >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 2; }
done
mkdir -p "$out"

# The window opens at its own size, 1024 by 656, at the top left of a screen of that size.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x656x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
editor_pid=""
trap 'kill $editor_pid $xvfb 2>/dev/null; wait 2>/dev/null; rm -f "$fifo"' EXIT
read -r number <"$fifo"
export DISPLAY=:$number

"$editor" --catalog examples/tessarocgams examples/regions.tree 2>/dev/null &
editor_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name 'GAMS element tree' | head -n1)
xdotool windowfocus --sync "$window"
sleep 1

shoot() {
  import -window root "$1.tmp.png"
  convert "$1.tmp.png" -strip -define png:compression-level=9 "$1"
  rm -f "$1.tmp.png"
  echo "screenshots: $1 ($(stat -c %s "$1") bytes)"
}
shoot "$out/editor.png"

# Places in the window's own layout: the menu bar is 21 pixels high, the header strips' buttons
# stand 8 pixels below their top, 75 by 25, 4 apart, 8 from the right edge.
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.5; }
click 741 41          # the tree pane's "Tessaroc": the classification chooser
click 799 89          # its "Find": the find panel
xdotool type --delay 50 "ti"
xdotool key Return
sleep 0.5
shoot "$out/find.png"
