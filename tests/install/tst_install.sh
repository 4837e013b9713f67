#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# tst_install.sh CMAKE BUILD_DIR
#
# An installed copy, run by a user who cannot write the installation, must
# find its Morse tables and band list there and keep what it writes in that
# user's data directory. Installs BUILD_DIR into a temporary prefix (not the
# one the build was configured with, so the program has to find its data
# relative to itself), then:
#   - the command-line tool encodes a text and decodes it back;
#   - the program starts on the offscreen platform, is asked to quit with
#     SIGTERM, and must have started (a missing "ENG.cwt" ends it with exit
#     status 1), closed cleanly (status 0) and written Velkora32.ini, with the
#     window layout saved at close, into $XDG_DATA_HOME/Brux Software/Velkora32.
set -euo pipefail

cmake=$1
build=$2
user=nobody

fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to run the installed program as the unprivileged user '$user'"; exit 77; }
id "$user" >/dev/null 2>&1 || { echo "SKIP: there is no user '$user' to run the installed program as"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The user must reach the prefix and its own home below this folder.
chmod 755 "$work"

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; fail "cmake --install $build failed"; }

for f in bin/velkora32 bin/velkora32-cli share/velkora32/ENG.cwt share/velkora32/bands.ini \
         share/applications/velkora32.desktop share/icons/hicolor/32x32/apps/velkora32.png; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done
# Nothing of the build tree's data may sit beside the installed executable,
# or the program would never need its share directory.
[ ! -e "$prefix/bin/ENG.cwt" ] || fail "ENG.cwt was installed beside the executable"
grep -q '^Exec=velkora32$' "$prefix/share/applications/velkora32.desktop" || fail "the desktop entry does not start velkora32"

home=$work/home
mkdir -p "$home/runtime"
chown -R "$user" "$home"
chmod 700 "$home/runtime"

as_user() {
    runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen \
        XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
        ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} \
        ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} \
        "$@"
}

! as_user test -w "$prefix/bin" || fail "the test user can write the installation; the test would prove nothing"

# The command-line tool: a round trip through a sound file.
as_user "$prefix/bin/velkora32-cli" encode --text "CQ CQ DE VK2TST" "$home/cq.wav" || fail "velkora32-cli encode failed"
decoded=$(as_user "$prefix/bin/velkora32-cli" decode "$home/cq.wav") || fail "velkora32-cli decode failed"
[[ $decoded == *"CQ CQ DE VK2TST"* ]] || fail "velkora32-cli decoded '$decoded'"

# The program. timeout runs as the user too, so the signal reaches the
# program itself; -k ends a program that ignores it.
set +e
as_user timeout --preserve-status -k 20 -s TERM 5 "$prefix/bin/velkora32" >"$work/run.log" 2>&1
status=$?
set -e

# The window layout is saved only by a window that was built and closed,
# and the window is built only once "ENG.cwt" has been found.
ini="$home/data/Brux Software/Velkora32/Velkora32.ini"
if [ ! -f "$ini" ] || ! grep -q '^\[Panels\]' "$ini"; then
    cat "$work/run.log" >&2
    find "$home" "$prefix" -name '*.ini' >&2
    fail "no window layout saved in $ini (status $status): did velkora32 find ENG.cwt in $prefix/share/velkora32?"
fi
grep -q '^\[Audio\]' "$ini" || fail "the sound settings were not saved at close: $(cat "$ini")"
[ -f "$home/data/Brux Software/Velkora32/Velkora32.log" ] || fail "no log file beside the settings in $home/data"
[ "$status" -eq 0 ] || { cat "$work/run.log" >&2; fail "velkora32 did not end cleanly after SIGTERM (status $status)"; }
written=$(find "$prefix" -newer "$work/install.log" -type f)
[ -z "$written" ] || fail "the program wrote into the installation: $written"

rm "$prefix/share/velkora32/ENG.cwt" # without its Morse tables it says so and, the box closed, ends with status 1
status=0; as_user timeout --preserve-status -k 20 -s TERM 5 "$prefix/bin/velkora32" >"$work/noeng.log" 2>&1 || status=$?
[ "$status" -eq 1 ] || { cat "$work/noeng.log" >&2; fail "without ENG.cwt velkora32 ended with status $status, not 1"; }
echo "PASS: installed into $prefix, started as $user, settings and log in $(dirname "$ini")"
