#!/usr/bin/env bash
# The save targets on a 24 MP stereo pair (6000 x 4000 per view), printed
# beside what was measured:
#   - tessaly-batch, MPO -> full-colour red/cyan JPEG q95, against ImageMagick's
#     `composite -stereo` on the two views (q95, 4:4:4 like ours): paired,
#     alternating runs, medians; at most 0.30 x its wall time, 0.35 s alone;
#   - peak memory of that run: at most three pictures' worth plus 30 MB;
#   - the same to PNG: peak memory at most the JPEG run's plus 150 MB;
#   - the window's JPEG save of the 24 MP anaglyph (bench_window): 0.2 s.
#   bench/save_speed.sh <build-dir> [repetitions]
# The times hold for an idle machine; the load is printed before and after.
set -euo pipefail

source "$(dirname "$0")/lib.sh"

build=${1:?usage: $0 <build-dir> [repetitions]}
reps=${2:-7}
batch=$build/batch/tessaly-batch
maker=$build/bench/tsy-make-mpo
window=$build/bench/bench_window
w=6000
h=4000

need_tool composite imagemagick
need_built "$build" batch/tessaly-batch bench/tsy-make-mpo

work=$(mktemp -d "${TMPDIR:-/tmp}/tsy-save-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "load before: $(uptime)"
echo "Making the 24 MP test pair ..." >&2
"$maker" "$w" "$h" "$work" >/dev/null

ours="$batch --quality 95 --format jpg --overwrite --out $work/out $work/pair.mpo"
theirs="composite -stereo +0+0 $work/left.jpg $work/right.jpg -quality 95 -sampling-factor 1x1 $work/im.jpg"
ours_png="$batch --format png --overwrite --out $work/out $work/pair.mpo"

echo "Timing ($reps paired runs) ..." >&2
read -r t_ours t_theirs <<<"$(time_pair "$ours" "$theirs" "$reps")"
echo "Measuring memory ..." >&2
m_jpeg=$(peak_mb "$ours" 3)
m_png=$(peak_mb "$ours_png" 1)
picture_mb=$(awk -v w="$w" -v h="$h" 'BEGIN { print w * h * 4 / 1e6 }')

t_window=""
if [ -x "$window" ]; then
    echo "Timing the window's JPEG save ..." >&2
    t_window=$("$window" --benchmark_filter=SaveJpeg --benchmark_repetitions=5 \
        --benchmark_report_aggregates_only=true 2>/dev/null |
        awk '/SaveJpeg.*_median/ { print $2 / 1000 }')
fi

verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t) ? "ok" : "MISSED" }'; }
row() { printf '%-44s %10s %10s  %s\n' "$1" "$2" "$3" "$4"; }

echo
row "24 MP pair -> JPEG q95 (medians)" measured target ""
row "tessaly-batch wall s" "$t_ours" "0.35" "$(verdict "$t_ours" 0.35) (alone, idle machine)"
row "composite -stereo wall s" "$t_theirs" "" ""
ratio=$(awk -v a="$t_ours" -v b="$t_theirs" 'BEGIN { printf "%.3f", a / b }')
row "  tessaly-batch / composite" "$ratio" "0.30" "$(verdict "$ratio" 0.30)"
limit=$(awk -v p="$picture_mb" 'BEGIN { print 3 * p + 30 }')
row "tessaly-batch JPEG peak MB" "$m_jpeg" "$limit" "$(verdict "$m_jpeg" "$limit")"
limit=$(awk -v j="$m_jpeg" 'BEGIN { print j + 150 }')
row "tessaly-batch PNG peak MB" "$m_png" "$limit" "$(verdict "$m_png" "$limit")"
if [ -n "$t_window" ]; then
    row "window JPEG save s" "$t_window" "0.2" "$(verdict "$t_window" 0.2)"
else
    row "window JPEG save s" "-" "0.2" "(build bench_window to measure)"
fi
echo "JPEG bytes: tessaly-batch $(stat -c %s "$work/out/pair_3D-RC.jpg"), composite $(stat -c %s "$work/im.jpg")"
echo "load after: $(uptime)"
