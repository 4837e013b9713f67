#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Makes the README's screenshot: the program on a private X server (Xvfb)
# and a private sound card, with a BPSK31 signal played into the card and
# decoded into the receive pane.
#
#   tools/make-screenshot.sh [BUILD_DIR] [OUT.png] [WIDTHxHEIGHT]
#
# With a size, the window fills a screen of that size and the whole screen
# is taken (docs/main-1280x800.png, docs/main-1920x1080.png); without one,
# the README's picture of the window at its first-start size.
#
# Needs the build (./test or ./run builds it), xvfb, pulseaudio,
# pulseaudio-utils, libasound2-plugins, imagemagick (for `import`) and,
# with a size, xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/screenshot.png}
size=${3:-}
work=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; tools/virtual-soundcard.sh stop "$work/card"; rm -rf "$work"' EXIT

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 "${size:-1000x760}x24" >/dev/null 2>&1 &
xvfb=$!
eval "$(tools/virtual-soundcard.sh start "$work/card")"

cat >"$work/Velkora32.ini" <<INI
[General]
RxFq=1000
TxFq=1000
Brightness=20
Contrast=60

[Audio]
Input\Name=pulse
Output\Name=pulse

[Macros]
Macros%200\index=0
Macros%200\label=CQ
Macros%200\text="<TX>CQ CQ CQ de <MYCALL> <MYCALL> pse k<RX>"
Macros%201\index=1
Macros%201\label=Answer
Macros%201\text="<TX><CALL> de <MYCALL> <RX>"
Macros%202\index=2
Macros%202\label=Report
Macros%202\text="<TX><CALL> de <MYCALL>: ur RST <RST> <RST> in <MYQTH> <RX>"
Macros%203\index=3
Macros%203\label=73
Macros%203\text="<TX><CALL> de <MYCALL>: tnx fer QSO, 73 <CALL> de <MYCALL> sk<RX>"

[Personal%20data]
call=VK2XYZ
name=Sam
qth=Sydney
INI

# The sized pictures show the macros of a first start.
[ -z "$size" ] || sed -i '/^\[Macros\]/,/^$/d' "$work/Velkora32.ini"

text="CQ CQ CQ de JA1QRP JA1QRP pse k
JA1QRP de VK2XYZ: GM, ur RST 579 in Sydney. WX here: rain, 12 C. 73"
"$build/bin/velkora32-cli" encode --mode BPSK31 --freq 1000 --text "$text" "$work/signal.wav"
"$build/bin/velkora32-cli" encode --mode BPSK31 --freq 1650 --level 5000 --text "CQ TEST DL1ABC DL1ABC TEST" "$work/other.wav"

DISPLAY=$display "$build/bin/velkora32" "-ini:$work/Velkora32.ini" >"$work/app.log" 2>&1 &
app=$!
sleep 3
if [ -n "$size" ]; then
    DISPLAY=$display xdotool search --sync --onlyvisible --pid "$app" --name Velkora32 \
        windowmove 0 0 windowsize "${size%x*}" "${size#*x}"
fi
paplay "$work/signal.wav" &
player=$!
sleep 8
paplay "$work/other.wav"
wait $player
sleep 2
mkdir -p "$(dirname "$out")"
if [ -n "$size" ]; then
    DISPLAY=$display import -window root "$out"
else
    DISPLAY=$display import -window root -crop 896x588+31+93 +repage "$out"
fi
echo "wrote $out"
