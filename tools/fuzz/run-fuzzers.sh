#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Builds the logbook fuzzers with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) against the log sources and runs each of them.
#   tools/fuzz/run-fuzzers.sh [seconds per fuzzer, default 120] [fuzzer ...]
# Output, binaries and corpora go to fuzz-out/ (or $FUZZ_OUT). Not part of
# ./test: it needs clang and takes as long as it is told to.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
out=${FUZZ_OUT:-$root/fuzz-out}
seconds=${1:-120}
shift || true
fuzzers=("$@")
[ ${#fuzzers[@]} -eq 0 ] && fuzzers=(logline adif)

command -v clang++ >/dev/null || { echo "clang++ is needed (apt-get install clang)" >&2; exit 1; }
mkdir -p "$out"

moc="$(pkg-config --variable=libexecdir Qt6Core)/moc"
"$moc" "$root/logbook/hamlog.h" -o "$out/moc_hamlog.cpp"

read -r -a qt_cflags <<<"$(pkg-config --cflags Qt6Core)"
read -r -a qt_libs <<<"$(pkg-config --libs Qt6Core)"
flags=(-std=c++17 -g -O1 -fPIC -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root" "${qt_cflags[@]}")
sources=("$root/logbook/qsodata.cpp" "$root/logbook/hamlog.cpp" "$root/logbook/adif.cpp"
         "$root/core/codepage.cpp" "$root/core/apppaths.cpp" "$out/moc_hamlog.cpp")

for f in "${fuzzers[@]}"; do
    echo "building fuzz_$f"
    clang++ "${flags[@]}" "$root/tools/fuzz/fuzz_$f.cpp" "${sources[@]}" "${qt_libs[@]}" -o "$out/fuzz_$f"
done

# A few valid inputs to start from.
mkdir -p "$out/corpus_logline" "$out/corpus_adif"
printf '0;DL1ABC;20240315123456;12;20240316;;0;14070000;;BPSK31;599;579;;;Hans;Berlin;nice;;;' \
    >"$out/corpus_logline/seed1"
printf '0;G4XYZ;20240101000000;;;;7070000;0;x;BPSK63;;;a;b;Jo;York;;c;d;' >"$out/corpus_logline/seed2"
printf 'hdr <ADIF_VER:5>3.1.4<EOH>\n<CALL:5>G4ABC<QSO_DATE:8:D>20240101<TIME_ON:4>1200<FREQ:7>14.0705<MODE:6>BPSK31<NAME:4>John<eor>\n<call:5>dl1ab<qso_date:8>20240102<time_on:6>120000<band:3>20m<comment:3>a<b<EOR>' \
    >"$out/corpus_adif/seed1"

status=0
for f in "${fuzzers[@]}"; do
    echo "running fuzz_$f for ${seconds}s"
    mkdir -p "$out/crashes_$f"
    if ! "$out/fuzz_$f" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
        -artifact_prefix="$out/crashes_$f/" "$out/corpus_$f" >"$out/fuzz_$f.log" 2>&1; then
        status=1
        echo "fuzz_$f FAILED, see $out/fuzz_$f.log" >&2
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^Done' "$out/fuzz_$f.log" || true
done
exit $status
