#!/usr/bin/env bash
# Times Zembla's bounce of 16 stereo 16-bit tracks of 10 minutes (44100 Hz) into one against
# sox and ecasound mixing the same tracks, exported as WAVE files, into one file. Each of the
# three runs as a whole process under /usr/bin/time -v, RUNS times, in turns; the medians are
# printed with the times real time (600 s of audio / seconds), the peak memory (maximum RSS)
# and Zembla's throughput against each of the others.
#
#   bench/bounce/run-bounce-bench.sh [RUNS]      (5 runs by default)
#
# Environment: BUILD_DIR (default build), BOUNCE_FOLDER (default $TMPDIR or /var/tmp, then
# zembla-bounce): the material, about 3.4 GB, made once and kept for the next runs; delete the
# folder to make it anew. Zembla's bounce_bench is built in BUILD_DIR (see the README for the
# build's own packages); sox, ecasound and time are installed when missing.
#
# sox sums its inputs at gain 1 (-v 1 before each; by default it would scale them by 1/16) and
# ecasound sums its chains (-z:mixmode,sum instead of averaging), so that the three make the
# same mix: a plain sum that clips at full scale.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
runs="${1:-5}"
build="${BUILD_DIR:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
folder="${BOUNCE_FOLDER:-${TMPDIR:-/var/tmp}/zembla-bounce}"
tracks=16
frames=26460000
audio_seconds=600

source "$root/tools/install-packages.sh"
source "$root/bench/process-timing.sh"
install_packages sox ecasound time

echo "== Building bounce_bench in $build"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target bounce_bench >/dev/null
bench="$build/bin/bounce_bench"

if [ ! -f "$folder/generated" ]; then
    echo "== Generating the tracks and their WAVE exports in $folder (once)"
    "$bench" generate "$folder"
fi
cd "$folder"

inputs_sox=()
inputs_ecasound=()
for n in $(seq 1 "$tracks"); do
    inputs_sox+=(-v 1 "track$n.wav")
    inputs_ecasound+=("-a:$n" "-i:track$n.wav")
done

results="$(mktemp -d)"
trap 'rm -rf "$results"' EXIT


# run_one NAME COMMAND...: one timed run, its figures (and Zembla's own bounce time) appended
# to $results/NAME.
run_one() {
    timed_run "$@"
    local inner=""
    if [ "$1" = zembla ]; then
        inner="$(awk '/^bounce:/ { print $2 }' "$results/$1.log")"
    fi
    echo "$(elapsed_seconds "$results/$1.time") $(max_rss_kb "$results/$1.time") $inner" >>"$results/$1"
}

# Every tool finds its inputs in the page cache, as it would right after the tracks were
# recorded or played; the time of reading the tracks from there is the floor of any bounce.
segments=()
for n in $(seq 0 $((tracks - 1))); do
    segments+=("channel${n}_1")
done
cat "${segments[@]}" track*.wav >/dev/null
start=$(date +%s.%N)
cat "${segments[@]}" >/dev/null
echo "== Reading Zembla's 16 tracks from the page cache takes $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s"

echo "== $runs runs each, in turns ($(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg))"
for run in $(seq 1 "$runs"); do
    run_one zembla "$bench" bounce "$folder"
    rm -f sox-mix.wav
    run_one sox sox -m -D "${inputs_sox[@]}" sox-mix.wav
    check_wave sox-mix.wav "$frames"
    rm -f ecasound-mix.wav
    run_one ecasound ecasound -q -z:mixmode,sum "${inputs_ecasound[@]}" -a:all -o:ecasound-mix.wav
    check_wave ecasound-mix.wav "$frames"
    echo "run $run: zembla $(tail -n1 "$results/zembla" | cut -d' ' -f1) s," \
        "sox $(tail -n1 "$results/sox" | cut -d' ' -f1) s," \
        "ecasound $(tail -n1 "$results/ecasound" | cut -d' ' -f1) s"
done

echo
echo "== Medians of $runs runs (whole processes, /usr/bin/time -v)"
printf "%-10s %10s %14s %16s\n" "" "seconds" "x real time" "peak memory MB"
for name in zembla sox ecasound; do
    s="$(median "$results/$name" 1)"
    rss="$(median "$results/$name" 2)"
    printf "%-10s %10.2f %14.0f %16.1f\n" "$name" "$s" "$(ratio "$audio_seconds" "$s")" \
        "$(ratio "$rss" 1024)"
done
zembla="$(median "$results/zembla" 1)"
inner="$(median "$results/zembla" 3)"
printf "Zembla's bounce alone (Play to the end of Stop, as bounce_bench prints it): %.3f s, %.0f x real time\n" \
    "$inner" "$(ratio "$audio_seconds" "$inner")"
for name in sox ecasound; do
    other="$(median "$results/$name" 1)"
    printf "Zembla's throughput: %.1f times %s's\n" "$(ratio "$other" "$zembla")" "$name"
done
echo "The outputs: $folder/channel16_ (Zembla), sox-mix.wav, ecasound-mix.wav"
