#!/usr/bin/env bash
# Times zembla-cli rendering a song of 16 stereo 16-bit tracks of 10 minutes (44100 Hz) into a
# WAV file against sox mixing the same tracks, as WAV files, into one ("sox -m -D", each input
# at gain 1 so that both make the same plain sum). Each runs as a whole process under
# /usr/bin/time -v, RUNS times, in turns; the medians are printed with the times real time
# (600 s of audio / seconds), the peak memory and Zembla's throughput against sox's. The two
# mixes are compared sample for sample.
#
#   bench/render/run-render-bench.sh [RUNS]      (3 runs by default)
#
# Environment: BUILD_DIR (default build), RENDER_FOLDER (default $TMPDIR or /var/tmp, then
# zembla-render): the material, 16 WAV files made by sox and the song they were imported
# into (about 3.4 GB), made once and kept for the next runs; delete the folder to make it
# anew. zembla-cli is built in BUILD_DIR; sox and time are installed when missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
runs="${1:-3}"
build="${BUILD_DIR:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
folder="${RENDER_FOLDER:-${TMPDIR:-/var/tmp}/zembla-render}"
tracks=16
# 10 minutes and a few frames more, so that every track fills whole 1024-byte blocks and the
# song is exactly as long as the WAV files.
frames=26460160
audio_seconds=600

source "$root/tools/install-packages.sh"
source "$root/bench/process-timing.sh"
install_packages sox time

build_zembla_cli "$root" "$build"

mkdir -p "$folder"
cd "$folder"
export HOME="$folder" XDG_CONFIG_HOME="$folder/.config"
if [ ! -f generated ]; then
    echo "== Making $tracks WAV files of 10 minutes and importing them into a song in $folder (once)"
    rm -rf song track*.wav
    mkdir song
    for n in $(seq 0 $((tracks - 1))); do
        # Tones a little apart, quiet enough that their sum never clips.
        sox -q -r 44100 -n -c 2 -b 16 "track$n.wav" synth "${frames}s" \
            sine $((110 + 37 * n)) sine $((165 + 41 * n)) gain -26
        ZEMBLA_AUDIO=virtual "$cli" import song "$n" "track$n.wav" >/dev/null
    done
    touch generated
fi

inputs=()
for n in $(seq 0 $((tracks - 1))); do
    inputs+=(-v 1 "track$n.wav")
done

results="$(mktemp -d)"
trap 'rm -rf "$results"' EXIT



# Both find their inputs in the page cache, as right after the tracks were recorded.
cat song/channel*_1 track*.wav >/dev/null

echo "== $runs runs each, in turns ($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg))"
for run in $(seq 1 "$runs"); do
    rm -f zembla-mix.wav
    run_one zembla "$cli" render song zembla-mix.wav
    check_wave zembla-mix.wav "$frames"
    rm -f sox-mix.wav
    run_one sox sox -m -D "${inputs[@]}" sox-mix.wav
    check_wave sox-mix.wav "$frames"
    echo "run $run: zembla $(tail -n1 "$results/zembla" | cut -d' ' -f1) s," \
        "sox $(tail -n1 "$results/sox" | cut -d' ' -f1) s"
done

data_bytes=$((frames * 4))
if cmp -s <(tail -c "$data_bytes" zembla-mix.wav) <(tail -c "$data_bytes" sox-mix.wav); then
    echo "The two mixes hold the same samples."
else
    echo "The two mixes differ: $(cmp <(tail -c "$data_bytes" zembla-mix.wav) \
        <(tail -c "$data_bytes" sox-mix.wav) | head -n1)" >&2
    exit 1
fi

echo
echo "== Medians of $runs runs (whole processes, /usr/bin/time -v)"
printf "%-8s %10s %14s %16s\n" "" "seconds" "x real time" "peak memory MB"
for name in zembla sox; do
    s="$(median "$results/$name" 1)"
    printf "%-8s %10.2f %14.1f %16.1f\n" "$name" "$s" "$(ratio "$audio_seconds" "$s")" \
        "$(ratio "$(median "$results/$name" 2)" 1024)"
done
printf "Zembla's render: %.2f times sox's throughput\n" \
    "$(ratio "$(median "$results/sox" 1)" "$(median "$results/zembla" 1)")"
