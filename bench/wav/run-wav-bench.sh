#!/usr/bin/env bash
# Times zembla-cli importing a 10-minute stereo 16-bit WAV file (44100 Hz) into a track and
# exporting the track as a WAV file again, against sox copying the same file
# ("sox in.wav out.wav"), each as a whole process under /usr/bin/time -v, RUNS times in turns.
# Prints the medians in seconds and MB/s (10^6 bytes of the file a second) and each Zembla
# figure against sox's.
#
#   bench/wav/run-wav-bench.sh [RUNS]      (5 runs by default)
#
# Environment: BUILD_DIR (default build), WAV_FOLDER (default $TMPDIR or /var/tmp, then
# zembla-wav): the material, a 106 MB WAV file made by sox once and kept for the next runs, and
# the song folder the imports go to. zembla-cli is built in BUILD_DIR; sox and time are
# installed when missing. zembla-cli runs with a settings folder of its own (the engine's
# default cache and rate) and virtual sound cards.
#
# The import ends with the track's data synced to the disk, as every import and recording
# does; sox leaves its output in the page cache.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
runs="${1:-5}"
build="${BUILD_DIR:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
folder="${WAV_FOLDER:-${TMPDIR:-/var/tmp}/zembla-wav}"
# 10 minutes and a few frames more, so that the samples fill whole 1024-byte blocks and the
# exported file's samples can be compared with the input's byte for byte.
frames=26460160
data_bytes=$((frames * 4))

source "$root/tools/install-packages.sh"
source "$root/bench/process-timing.sh"
install_packages sox time

build_zembla_cli "$root" "$build"

mkdir -p "$folder"
cd "$folder"
if [ ! -f in.wav ]; then
    echo "== Making a 10-minute stereo 16-bit WAV file in $folder (once)"
    sox -q -r 44100 -n -c 2 -b 16 in.wav synth "${frames}s" sine 440 sine 660 gain -6
fi
export HOME="$folder" XDG_CONFIG_HOME="$folder/.config" ZEMBLA_AUDIO=virtual

results="$(mktemp -d)"
trap 'rm -rf "$results"' EXIT


# The output's last data_bytes bytes are the input's samples (neither writes a chunk after
# the samples).
check_samples() {
    cmp <(tail -c "$data_bytes" in.wav) <(tail -c "$data_bytes" "$1") || {
        echo "$1 does not hold the samples of in.wav" >&2
        exit 1
    }
}

cat in.wav >/dev/null
echo "== $runs runs each, in turns ($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg))"
for run in $(seq 1 "$runs"); do
    rm -rf song
    mkdir song
    run_one import "$cli" import song 0 in.wav
    rm -f export.wav
    run_one export "$cli" export song 0 export.wav
    check_samples export.wav
    rm -f sox-out.wav
    run_one sox sox in.wav sox-out.wav
    check_samples sox-out.wav
    echo "run $run: import $(tail -n1 "$results/import" | cut -d' ' -f1) s," \
        "export $(tail -n1 "$results/export" | cut -d' ' -f1) s," \
        "sox $(tail -n1 "$results/sox" | cut -d' ' -f1) s"
done

bytes="$(stat -c %s in.wav)"
echo
echo "== Medians of $runs runs (whole processes, /usr/bin/time -v), $bytes bytes"
printf "%-8s %10s %10s %16s\n" "" "seconds" "MB/s" "peak memory MB"
for name in import export sox; do
    s="$(median "$results/$name" 1)"
    printf "%-8s %10.2f %10.0f %16.1f\n" "$name" "$s" "$(ratio "$(ratio "$bytes" 1000000)" "$s")" \
        "$(ratio "$(median "$results/$name" 2)" 1024)"
done
sox="$(median "$results/sox" 1)"
for name in import export; do
    printf "Zembla's %s: %.2f times sox's throughput\n" "$name" \
        "$(ratio "$sox" "$(median "$results/$name" 1)")"
done
