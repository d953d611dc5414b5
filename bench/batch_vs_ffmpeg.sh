#!/usr/bin/env bash
# Whole-process wall times of tessaly-batch against ffmpeg's stereo3d filter
# doing the same conversion: a 24 MP stereo pair (6000 x 4000 per view) to a
# full-colour red/cyan anaglyph, JPEG out at quality 95 (ffmpeg: -q:v 2, and
# 4:4:4 like ours).
#   bench/batch_vs_ffmpeg.sh <build-dir> [repetitions]
# One file: tessaly-batch on the MPO, ffmpeg on its two views stacked side by
# side. 20 files: tessaly-batch over the folder with its default --jobs,
# ffmpeg once per file one after the other, as a user would run it.
# Medians are reported; hyperfine is used when it is installed.
set -euo pipefail

source "$(dirname "$0")/lib.sh"

build=${1:?usage: $0 <build-dir> [repetitions]}
reps=${2:-5}
batch=$build/batch/tessaly-batch
maker=$build/bench/tsy-make-mpo

need_tool ffmpeg ffmpeg
need_built "$build" batch/tessaly-batch bench/tsy-make-mpo
[ "$have_hyperfine" = 1 ] || echo "hyperfine not found (apt-get install hyperfine); timing with a plain loop" >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/tsy-batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

files=20
jobs=$(nproc)
filter='[0:v][1:v]hstack,stereo3d=sbsl:arcc,format=yuvj444p'

echo "Making the 24 MP test pair ..." >&2
mkdir -p "$work/one" "$work/folder" "$work/out1" "$work/out20"
"$maker" 6000 4000 "$work/one"
for ((i = 1; i <= files; i++)); do
    n=$(printf '%02d' "$i")
    cp "$work/one/pair.mpo" "$work/folder/f$n.mpo"
    cp "$work/one/left.jpg" "$work/folder/f${n}_l.jpg"
    cp "$work/one/right.jpg" "$work/folder/f${n}_r.jpg"
done

ours_one="$batch --quality 95 --format jpg --overwrite --out $work/out1 $work/one/pair.mpo"
ffmpeg_one="ffmpeg -v error -y -i $work/one/left.jpg -i $work/one/right.jpg \
-filter_complex '$filter' -q:v 2 -frames:v 1 -update 1 $work/ffmpeg1.jpg"
ours_all="$batch --quality 95 --format jpg --overwrite --out $work/out20 $work/folder/*.mpo"
cat >"$work/ffmpeg_all.sh" <<EOF
for ((i = 1; i <= $files; i++)); do
    n=\$(printf '%02d' "\$i")
    ffmpeg -v error -y -i $work/folder/f\${n}_l.jpg -i $work/folder/f\${n}_r.jpg \
        -filter_complex '$filter' -q:v 2 -frames:v 1 -update 1 $work/out20/ffmpeg\$n.jpg
done
EOF
ffmpeg_all="bash $work/ffmpeg_all.sh"

echo "Timing one file ($reps runs) ..." >&2
read -r ours1 theirs1 <<<"$(time_pair "$ours_one" "$ffmpeg_one" "$reps")"
folder_reps=$(((reps + 1) / 2))
[ "$folder_reps" -lt 3 ] && folder_reps=3
echo "Timing $files files ($folder_reps runs) ..." >&2
read -r ours20 theirs20 <<<"$(time_pair "$ours_all" "$ffmpeg_all" "$folder_reps")"

# Both made real pictures: their sizes and how close each is to the exact
# anaglyph (tessaly-batch's BMP), in PSNR.
"$batch" --format bmp --out "$work" "$work/one/pair.mpo" 2>/dev/null
psnr() {
    ffmpeg -hide_banner -i "$1" -i "$work/pair_3D-RC.bmp" \
        -lavfi '[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr' -f null - 2>&1 |
        sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1
}

echo
printf '%-40s %10s\n' "24 MP stereo pair -> JPEG" "median s"
printf '%-40s %10.3f\n' "one file: tessaly-batch" "$ours1"
printf '%-40s %10.3f\n' "one file: ffmpeg stereo3d" "$theirs1"
printf '%-40s %9.2fx\n' "  ffmpeg / tessaly-batch" "$(awk -v a="$theirs1" -v b="$ours1" 'BEGIN { print a / b }')"
printf '%-40s %10.3f\n' "$files files: tessaly-batch (--jobs $jobs)" "$ours20"
printf '%-40s %10.3f\n' "$files files: ffmpeg once per file" "$theirs20"
printf '%-40s %9.2fx  (target: close to %d x)\n' "  ffmpeg / tessaly-batch" \
    "$(awk -v a="$theirs20" -v b="$ours20" 'BEGIN { print a / b }')" "$jobs"
printf '%-40s %9.2fx\n' "  tessaly-batch: 1 file x $files / folder" \
    "$(awk -v a="$ours1" -v b="$ours20" -v n="$files" 'BEGIN { print a * n / b }')"
echo
printf '%-40s %10s %8s\n' "output" "bytes" "PSNR dB"
printf '%-40s %10d %8s\n' "tessaly-batch, quality 95 (4:4:4)" \
    "$(stat -c %s "$work/out1/pair_3D-RC.jpg")" "$(psnr "$work/out1/pair_3D-RC.jpg")"
printf '%-40s %10d %8s\n' "ffmpeg, -q:v 2 (4:4:4)" \
    "$(stat -c %s "$work/ffmpeg1.jpg")" "$(psnr "$work/ffmpeg1.jpg")"
