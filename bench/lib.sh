# Helpers shared by the timed scripts in bench/; source it, then set $work
# (a scratch folder) before calling time_pair.

median() { sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# Installs the Debian package that brings a missing command (as root), or
# says how to.
need_tool() {
    local tool=$1 package=$2
    command -v "$tool" >/dev/null && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing $package for $tool ..." >&2
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$package" >/dev/null ||
            { apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$package" >/dev/null; }
    fi
    command -v "$tool" >/dev/null && return 0
    echo "$tool is missing: apt-get install $package" >&2
    exit 1
}

# Fails with the build command when one of the given programs is missing.
need_built() {
    local build=$1 exe
    shift
    for exe in "$@"; do
        if [ ! -x "$build/$exe" ]; then
            echo "$build/$exe is missing: cmake --build $build --target $(basename "$exe")" >&2
            exit 1
        fi
    done
}

if command -v hyperfine >/dev/null; then
    have_hyperfine=1
else
    have_hyperfine=0
fi

# Median seconds of two commands, printed as "a b". Without hyperfine the two
# alternate, so machine noise hits both alike; the first round warms the
# caches and is not counted.
time_pair() {
    local a=$1 b=$2 runs=$3
    if [ "$have_hyperfine" = 1 ]; then
        hyperfine --style none --warmup 1 --runs "$runs" --export-csv "$work/t.csv" \
            -n a "$a" -n b "$b" >&2
        awk -F, 'NR > 1 { printf "%s ", $4 } END { print "" }' "$work/t.csv"
        return
    fi
    : >"$work/ta"
    : >"$work/tb"
    local r which cmd start end
    for ((r = 0; r <= runs; r++)); do
        for which in a b; do
            cmd=$a
            [ "$which" = b ] && cmd=$b
            start=$(date +%s.%N)
            sh -c "$cmd" >/dev/null 2>&1
            end=$(date +%s.%N)
            [ "$r" -gt 0 ] && awk -v s="$start" -v e="$end" 'BEGIN { print e - s }' >>"$work/t$which"
        done
    done
    echo "$(median <"$work/ta") $(median <"$work/tb")"
}

# Median peak resident memory of a command over some runs, in MB (10^6 bytes).
peak_mb() {
    local cmd=$1 runs=$2 r
    for ((r = 0; r < runs; r++)); do
        /usr/bin/time -f '%M' -o "$work/rss" sh -c "exec $cmd" >/dev/null 2>&1
        awk '{ print $1 * 1024 / 1e6 }' "$work/rss"
    done | median
}
