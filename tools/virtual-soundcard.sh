#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# A private sound card for tests and headless runs: a PulseAudio server of
# its own with one null sink "velkora" and its monitor "velkora.monitor" as
# the default source, so whatever is played comes back as capture. PortAudio
# reaches it through its ALSA host API and the ALSA "pulse" plugin (devices
# "pulse" and "default"). Needs the Debian packages pulseaudio and
# libasound2-plugins; no sound hardware, no display, root is fine.
#
#   virtual-soundcard.sh check        exit 0 when the packages are there
#   virtual-soundcard.sh run DIR      run the server in the foreground (exec)
#   virtual-soundcard.sh start DIR    start it in the background, wait until
#                                     it answers, print the export lines
#   virtual-soundcard.sh env DIR      print the export lines
#   virtual-soundcard.sh stop DIR     stop a server started with start
#
# A client needs PULSE_SERVER=unix:DIR/native (and PULSE_COOKIE, so nothing
# is written to the home folder); `env` prints both.
set -euo pipefail

rate=${VELKORA_VIRTUAL_RATE:-48000}
# The latency the card is held at (see below); tests want stops and drains
# to be quick, a long run of a receive-only client a card that, like a
# station's card with nothing else on it, is not held at a short latency.
latency=${VELKORA_VIRTUAL_LATENCY_MS:-20}

usage() {
    sed -n '/^#   virtual/,/^# A client/p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

check() {
    command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; return 1; }
    local plugin
    plugin=$(find /usr/lib /usr/lib64 -name libasound_module_pcm_pulse.so -print -quit 2>/dev/null || true)
    [ -n "$plugin" ] || { echo "the ALSA pulse plugin (libasound2-plugins) is not installed" >&2; return 1; }
}

prepare() {
    local dir=$1
    mkdir -p "$dir/runtime" "$dir/state" "$dir/home"
    chmod 700 "$dir/runtime"
    # The socket module comes last: once the socket exists, the sink and
    # the default devices are there too. A null sink alone runs with
    # seconds of latency, which makes every stop and drain of a stream take
    # that long; the two loopbacks hold the sink and its monitor at a low
    # latency (one feeds it silence, the other reads the monitor into a
    # second, unheard sink).
    cat >"$dir/server.pa" <<PA
load-module module-null-sink sink_name=velkora rate=$rate channels=1 sink_properties=device.description=Velkora32-virtual
load-module module-null-sink sink_name=velkora_discard rate=$rate channels=1
load-module module-null-source source_name=velkora_silence rate=$rate channels=1
load-module module-loopback source=velkora_silence sink=velkora latency_msec=$latency source_dont_move=true sink_dont_move=true
load-module module-loopback source=velkora.monitor sink=velkora_discard latency_msec=$latency source_dont_move=true sink_dont_move=true
set-default-sink velkora
set-default-source velkora.monitor
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
PA
}

print_env() {
    local dir=$1
    echo "export PULSE_SERVER=unix:$dir/native"
    echo "export PULSE_COOKIE=$dir/cookie"
}

run() {
    local dir
    dir=$(realpath -m "$1")
    check
    prepare "$dir"
    # A private runtime, state and home keep the server away from any other
    # one on this machine; it never exits on its own when idle.
    export HOME="$dir/home" PULSE_RUNTIME_PATH="$dir/runtime" PULSE_STATE_PATH="$dir/state"
    export PULSE_COOKIE="$dir/cookie"
    exec pulseaudio -n -F "$dir/server.pa" --daemonize=no --exit-idle-time=-1 \
        --use-pid-file=no --disallow-module-loading=no --log-target=stderr --log-level=error
}

start() {
    local dir
    dir=$(realpath -m "$1")
    check
    mkdir -p "$dir"
    "$0" run "$dir" >"$dir/server.log" 2>&1 &
    echo $! >"$dir/server.pid"
    for _ in $(seq 100); do
        if [ -S "$dir/native" ]; then
            print_env "$dir"
            return 0
        fi
        kill -0 "$(cat "$dir/server.pid")" 2>/dev/null || break
        sleep 0.1
    done
    echo "the virtual sound card did not come up; see $dir/server.log" >&2
    stop "$dir"
    return 1
}

stop() {
    local dir
    dir=$(realpath -m "$1")
    [ -f "$dir/server.pid" ] || return 0
    local pid
    pid=$(cat "$dir/server.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/server.pid"
}

case ${1:-} in
check) check ;;
run) [ $# -eq 2 ] || usage; run "$2" ;;
start) [ $# -eq 2 ] || usage; start "$2" ;;
env) [ $# -eq 2 ] || usage; print_env "$(realpath -m "$2")" ;;
stop) [ $# -eq 2 ] || usage; stop "$2" ;;
*) usage ;;
esac
