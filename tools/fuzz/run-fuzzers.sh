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
       -I"$root" -DVELKORA_VERSION=\"fuzz\" "${qt_cflags[@]}")
sources=("$root/logbook/qsodata.cpp" "$root/logbook/hamlog.cpp" "$root/logbook/adif.cpp"
         "$root/core/codepage.cpp" "$root/core/apppaths.cpp" "$out/moc_hamlog.cpp")

for f in "${fuzzers[@]}"; do
    echo "building fuzz_$f"
    clang++ "${flags[@]}" "$root/tools/fuzz/fuzz_$f.cpp" "${sources[@]}" "${qt_libs[@]}" -o "$out/fuzz_$f"
done

# A few valid inputs to start from, small ones and files of a real size
# (about 300 KiB and 1 MB, several read-ahead chunks of the ADIF reader).
mkdir -p "$out/corpus_logline" "$out/corpus_adif"
adif_records() {
    local i
    printf 'Exported by another program\n<ADIF_VER:5>3.1.4<PROGRAMID:4>TEST<EOH>\n'
    for ((i = 0; i < $1; i++)); do
        printf '<CALL:6>G%05d<QSO_DATE:8>2024%02d%02d<TIME_ON:6>12%02d00<BAND:3>20m<FREQ:9>14.0%05d' \
            "$i" $((i % 12 + 1)) $((i % 28 + 1)) $((i % 60)) "$i"
        printf '<MODE:3>PSK<SUBMODE:5>PSK31<NAME:7>J\xc3\xbcrgen<QTH:9>York\nCity<COMMENT:200>%0200d<EOR>\n' "$i"
    done
}
adif_records 800 >"$out/corpus_adif/real300k"
adif_records 2700 >"$out/corpus_adif/real1m"
log_line() {
    printf '0;DL1ABC;20240315123456;12;20240316;;0;14070000;;BPSK31;599;579;;;%s;Berlin;%s;;;' "$1" "$2"
}
log_line "$(head -c 300000 /dev/zero | tr '\0' 'n')" "$(head -c 300000 /dev/zero | tr '\0' 'i')" \
    >"$out/corpus_logline/real600k"
printf '0;DL1ABC;20240315123456;12;20240316;;0;14070000;;BPSK31;599;579;;;Hans;Berlin;nice;;;' \
    >"$out/corpus_logline/seed1"
printf '0;G4XYZ;20240101000000;;;;7070000;0;x;BPSK63;;;a;b;Jo;York;;c;d;' >"$out/corpus_logline/seed2"
printf 'hdr <ADIF_VER:5>3.1.4<EOH>\n<CALL:5>G4ABC<QSO_DATE:8:D>20240101<TIME_ON:4>1200<FREQ:7>14.0705<MODE:6>BPSK31<NAME:4>John<eor>\n<call:5>dl1ab<qso_date:8>20240102<time_on:6>120000<band:3>20m<comment:3>a<b<EOR>' \
    >"$out/corpus_adif/seed1"

status=0
for f in "${fuzzers[@]}"; do
    echo "running fuzz_$f for ${seconds}s"
    mkdir -p "$out/crashes_$f"
    if ! "$out/fuzz_$f" -max_total_time="$seconds" -print_final_stats=1 -max_len=1048576 -timeout=60 \
        -artifact_prefix="$out/crashes_$f/" "$out/corpus_$f" >"$out/fuzz_$f.log" 2>&1; then
        status=1
        echo "fuzz_$f FAILED, see $out/fuzz_$f.log" >&2
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^Done' "$out/fuzz_$f.log" || true
done
exit $status
