#!/bin/sh
# manpage.sh OUT.gz PROGRAM INCLUDE DATE
# The man page of PROGRAM from its --help and --version and the sections in
# INCLUDE, dated DATE (the release's, so that two builds give the same file).
set -eu
out=$1 program=$2 include=$3 date=$4
SOURCE_DATE_EPOCH=$(date -u -d "$date" +%s)
export SOURCE_DATE_EPOCH
# Both programs answer --help without a display; none is given, to be sure.
env -u DISPLAY -u WAYLAND_DISPLAY help2man --no-info --include="$include" \
    --output="$out.tmp" "$program"
gzip -n -9 -c "$out.tmp" >"$out"
rm -f "$out.tmp"
