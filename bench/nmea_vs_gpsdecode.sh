#!/usr/bin/env bash
# The NMEA parser and gpsd's gpsdecode on the same 4 MB of receiver logs, in
# one benchmark run: MB/s of each on the wall clock and on processor time,
# and how many times faster the parser is.
#   bench/nmea_vs_gpsdecode.sh [path to kestrava_bench]
set -euo pipefail
bench=${1:-build/kestrava_bench}
"$bench" --benchmark_filter='^BM_(NmeaParser|Gpsdecode)/' --benchmark_format=csv --benchmark_min_time=2 2>/dev/null |
awk -F, '
    /^name,/ { for (i = 1; i <= NF; i++) { if ($i == "\"MB/s\"") wall = i; if ($i == "\"cpu_MB/s\"") cpu = i }; next }
    wall && /^"?BM_/ {
        gsub(/"/, "", $1); sub(/\/real_time$/, "", $1)
        w[$1] = $wall; c[$1] = $cpu
        printf "%-14s %8.1f MB/s wall %8.1f MB/s cpu\n", $1, $wall, $cpu
    }
    END {
        if (w["BM_NmeaParser"] && w["BM_Gpsdecode"] && c["BM_NmeaParser"] && c["BM_Gpsdecode"])
            printf "ratio          %8.1f x    wall %8.1f x    cpu (parser / gpsdecode)\n",
                   w["BM_NmeaParser"] / w["BM_Gpsdecode"], c["BM_NmeaParser"] / c["BM_Gpsdecode"]
    }'
