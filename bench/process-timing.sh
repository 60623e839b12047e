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
