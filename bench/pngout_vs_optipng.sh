#!/usr/bin/env bash
# File size and wall time of tsy-pngout (/S2 /F5, as the PNG save runs it)
# against optipng -o2, on generated 1 MP and 24 MP anaglyphs.
#   bench/pngout_vs_optipng.sh [build-dir] [repetitions]
# Runs alternate between the tools so machine noise hits both alike; medians
# are reported.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
build=${1:-$root/build}
reps=${2:-3}
pngout=$build/output/tsy-pngout
maker=$build/bench/tsy-make-anaglyph

need_tool optipng optipng
need_built "$build" output/tsy-pngout bench/tsy-make-anaglyph

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds taken by the command, on stdout.
timed() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { print b - a }'
}

printf '%-6s %-12s %12s %10s\n' picture tool bytes seconds
for size in "1MP 1224 816" "24MP 6000 4000"; do
    read -r name w h <<<"$size"
    bmp=$work/$name.bmp
    "$maker" "$w" "$h" "$bmp"
    : >"$work/t_ours"
    : >"$work/t_optipng"
    for ((i = 0; i < reps; i++)); do
        rm -f "$work/ours.png" "$work/optipng.png"
        timed "$pngout" "$bmp" "$work/ours.png" /S2 /F5 /Y >>"$work/t_ours"
        timed optipng -quiet -o2 -out "$work/optipng.png" "$bmp" >>"$work/t_optipng"
    done
    ours_b=$(stat -c %s "$work/ours.png")
    opti_b=$(stat -c %s "$work/optipng.png")
    ours_t=$(median <"$work/t_ours")
    opti_t=$(median <"$work/t_optipng")
    printf '%-6s %-12s %12d %10.2f\n' "$name" tsy-pngout "$ours_b" "$ours_t"
    printf '%-6s %-12s %12d %10.2f\n' "$name" "optipng -o2" "$opti_b" "$opti_t"
    printf '%-6s %-12s %12.4f %10.3f\n' "$name" "ratio" \
        "$(awk -v a="$ours_b" -v b="$opti_b" 'BEGIN { print a / b }')" \
        "$(awk -v a="$ours_t" -v b="$opti_t" 'BEGIN { print a / b }')"
    rm -f "$bmp"
done
