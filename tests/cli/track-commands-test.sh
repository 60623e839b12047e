#!/usr/bin/env bash
# zembla-cli's track commands on a song folder of their own: a WAV file made by sox is
# imported, listed and exported again, and the exported samples are compared with sox's; a
# file the engine cannot hold is refused with the command's error.
#   track-commands-test.sh ZEMBLA_CLI
set -euo pipefail

cli="$1"
command -v sox >/dev/null || {
    echo "sox is not on PATH: install the Debian package sox" >&2
    exit 1
}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir song
export HOME="$work" XDG_CONFIG_HOME="$work/.config"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# 65536 frames: a whole number of 1024-byte blocks, so the track holds the samples alone.
sox -q -r 44100 -n -c 2 -b 16 tone.wav synth 65536s sine 440 sine 660 gain -6
sox -q tone.wav -t raw tone.raw

"$cli" import song 2 tone.wav >import.out || fail "import: $(cat import.out)"
"$cli" list song 2 >list.out || fail "list"
expected="track 2: stereo 16-bit, 1 piece
  0-1486 ms
length 1486 ms"
[ "$(cat list.out)" = "$expected" ] || fail "list printed:
$(cat list.out)"

"$cli" export song 2 export.wav >/dev/null || fail "export"
sox -q export.wav -t raw export.raw
cmp tone.raw export.raw || fail "the exported samples differ from the imported ones"
[ "$(soxi -r export.wav) $(soxi -c export.wav) $(soxi -b export.wav)" = "44100 2 16" ] ||
    fail "export.wav is not 44100 Hz 16-bit stereo"

sox -q tone.wav -b 24 deep.wav
if "$cli" import song 2 deep.wav 2>refused.err; then
    fail "a 24-bit file was imported"
fi
grep -q "^zembla-cli import: Can't import .*deep.wav: 24 bits per sample" refused.err ||
    fail "refusal said: $(cat refused.err)"
"$cli" list song 2 | cmp - list.out || fail "the refused import changed the track"
echo "track commands: import, list, export and refusal as expected"
