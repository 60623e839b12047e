# shellcheck shell=bash
# Sourced by the benchmark scripts that time whole processes under /usr/bin/time -v: reading
# its reports and taking medians and ratios of the figures.

# elapsed_seconds FILE: the wall time of a report, from its "h:mm:ss" or "m:ss.cc".
elapsed_seconds() {
    awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, part, ":"); s = 0
        for (i = 1; i <= n; i++) s = s * 60 + part[i]
        print s }' "$1"
}

# max_rss_kb FILE: the peak memory of a report.
max_rss_kb() {
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$1"
}

# median FILE COLUMN: the median of a column of space-separated numbers.
median() {
    cut -d' ' -f"$2" "$1" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# ratio A B: A / B, 0 when B is not above 0.
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { print (b > 0 ? a / b : 0) }'
}

# build_zembla_cli ROOT BUILD: configures BUILD if needed, builds zembla-cli there and sets
# $cli to it.
build_zembla_cli() {
    echo "== Building zembla-cli in $2"
    if [ ! -f "$2/CMakeCache.txt" ]; then
        cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$2" -j "$(nproc 2>/dev/null || echo 2)" --target zembla-cli >/dev/null
    cli="$2/bin/zembla-cli"
}

# check_wave FILE FRAMES: FILE must be FRAMES frames of 16-bit stereo at 44100 Hz.
check_wave() {
    local got
    got="$(soxi -s "$1") $(soxi -c "$1") $(soxi -b "$1") $(soxi -r "$1")"
    if [ "$got" != "$2 2 16 44100" ]; then
        echo "$1 is not $2 frames of 16-bit stereo at 44100 Hz: frames channels bits rate = $got" >&2
        exit 1
    fi
}

# timed_run NAME COMMAND...: runs COMMAND under /usr/bin/time -v with its output in
# $results/NAME.log and the report in $results/NAME.time; exits showing both when it fails.
timed_run() {
    local name="$1"
    shift
    /usr/bin/time -v -o "$results/$name.time" "$@" >"$results/$name.log" 2>&1 || {
        echo "$name failed:" >&2
        cat "$results/$name.log" "$results/$name.time" >&2
        exit 1
    }
}

# run_one NAME COMMAND...: one timed run, its wall time and peak memory appended to
# $results/NAME.
run_one() {
    timed_run "$@"
    echo "$(elapsed_seconds "$results/$1.time") $(max_rss_kb "$results/$1.time")" >>"$results/$1"
}
