#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# "velkora32-cli listen" for as long as a recording lasts: the recording is
# played into the private virtual sound card (tools/virtual-soundcard.sh)
# while listen decodes the card's monitor and reports to a collector on this
# computer that nobody answers. Every 10 s the RSS (KiB) and the CPU time
# (clock ticks) of listen go to WORKDIR/samples.txt; at the end the RSS after
# the first minute and at the end, and the CPU share of listen from the first
# minute on (its start-up, the sound library's scan of the devices, is a
# second or so once) and of "decode --all" on the same file. The card is held
# at 300 ms, as a station's card with nothing else on it would be, not at the
# tests' 20 ms (VELKORA_VIRTUAL_LATENCY_MS sets another).
#
#   bench/listen-longrun.sh BUILD_DIR BAND.wav WORKDIR
#
# BAND.wav: 16-bit mono at 11025 Hz, for example bench_crowdedband --write,
# or a band recording. Run it with nice -n 10 on a shared machine.
set -euo pipefail

[ $# -eq 3 ] || { sed -n '/^#   bench/p' "$0" | sed 's/^# //' >&2; exit 2; }
build=$(realpath "$1")
band=$(realpath "$2")
work=$(realpath -m "$3")
here=$(dirname "$(realpath "$0")")
cli="$build/bin/velkora32-cli"
mkdir -p "$work"
: >"$work/samples.txt"

export VELKORA_VIRTUAL_LATENCY_MS=${VELKORA_VIRTUAL_LATENCY_MS:-300}
eval "$("$here/../tools/virtual-soundcard.sh" start "$work/sound")"
trap '"$here/../tools/virtual-soundcard.sh" stop "$work/sound"' EXIT

"$cli" listen --report --call N0CALL --locator JO62QM --dial 14070000 --collector 127.0.0.1:4739 \
    >"$work/listen.out" 2>"$work/listen.err" &
listen=$!
paplay --device=velkora "$band" &
player=$!
start=$(date +%s)
tick=$(getconf CLK_TCK)
sample() {
    echo "$(($(date +%s) - start)) $(awk '/VmRSS/{print $2}' "/proc/$listen/status") $(awk '{print $14 + $15}' "/proc/$listen/stat")"
}
while kill -0 "$player" 2>/dev/null && kill -0 "$listen" 2>/dev/null; do
    sample >>"$work/samples.txt"
    sleep 10
done
sample >>"$work/samples.txt"
kill -TERM "$listen"
wait "$listen" || true

/usr/bin/time -f "%U %S" -o "$work/decode.time" "$cli" decode --all "$band" >"$work/decode.out"
awk -v tick="$tick" -v decode="$(awk '{print $1 + $2}' "$work/decode.time")" '
    $1 >= 60 && !minute { minute = $2; minuteAt = $1; minuteCpu = $3 }
    $1 >= 60 && $2 > peak { peak = $2 }
    { last = $0; rss = $2; secs = $1; cpu = $3 }
    END {
        printf "listen: %d s, RSS %.1f MiB after the first minute, %.1f MiB at the end, at most %.1f MiB\n", secs, minute / 1024, rss / 1024, peak / 1024
        printf "CPU: listen %.2f %% of one core (%.2f %% with its start-up), decode --all of the same file %.2f %%\n", 100 * (cpu - minuteCpu) / tick / (secs - minuteAt), 100 * cpu / tick / secs, 100 * decode / secs
    }' "$work/samples.txt"
echo "lines printed: $(wc -l <"$work/listen.out")"
