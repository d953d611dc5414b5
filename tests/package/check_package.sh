#!/usr/bin/env bash
# check_package.sh BUILD_DIR WORK_DIR
# Makes the DEB from this build tree's programs with CPack and checks what a
# Debian system gets: every file in its place, no lintian error, man pages
# that render and name every option of --help, valid AppStream data and
# desktop entry, and a completion that offers what --help declares.
set -euo pipefail
export LC_ALL=C
build=$1
work=$2

for tool in cpack dpkg-deb dpkg-shlibdeps file lintian appstreamcli desktop-file-validate man help2man; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing; scripts/install-deps.sh installs it"; exit 77; }
done
completion_lib=/usr/share/bash-completion/bash_completion
[ -f "$completion_lib" ] || { echo "SKIP: bash-completion is missing; scripts/install-deps.sh installs it"; exit 77; }

fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/tessaly_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no tessaly_*.deb in $work"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(basename "$deb")" = "tessaly_$(field Version)_$(field Architecture).deb" ] ||
    fail "$(basename "$deb") is not named tessaly_VERSION_ARCH.deb"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
echo "Depends: $(field Depends)"
[[ $(field Depends) == *libc6* && $(field Depends) == *libqt6widgets6* ]] || fail "no dependencies from shlibdeps"

dpkg-deb --contents "$deb" | tee "$work/contents.txt"
root=$work/root
dpkg-deb -x "$deb" "$root"
metainfo=$(cd "$root" && ls usr/share/metainfo/*.metainfo.xml)
for f in usr/bin/tessaly usr/bin/tessaly-batch usr/share/applications/tessaly.desktop \
    usr/share/icons/hicolor/scalable/apps/tessaly.svg usr/share/mime/packages/tessaly-mpo.xml \
    usr/share/man/man1/tessaly.1.gz usr/share/man/man1/tessaly-batch.1.gz "$metainfo" \
    usr/share/bash-completion/completions/tessaly usr/share/bash-completion/completions/tessaly-batch \
    usr/share/doc/tessaly/copyright usr/share/doc/tessaly/changelog.gz; do
    grep -q " \./$f\$" "$work/contents.txt" || fail "$f is not in the package"
done
# The PNG optimiser travels inside the window's program.
grep -qa "usage: tsy-pngout" "$root/usr/bin/tessaly" || fail "tessaly does not carry the PNG optimiser"

lintian --fail-on error --display-level ">=warning" "$deb" | tee "$work/lintian.txt" ||
    fail "lintian found errors"
LC_ALL=C.UTF-8 appstreamcli validate --no-net "$root/$metainfo" || fail "appstreamcli validate"
desktop-file-validate "$root/usr/share/applications/tessaly.desktop" || fail "desktop-file-validate"
for type in $(sed -n 's/^MimeType=//p' "$root/usr/share/applications/tessaly.desktop" | tr ';' ' '); do
    grep -q "<mediatype>$type</mediatype>" "$root/$metainfo" || fail "the AppStream data does not offer $type"
done

help_of() { env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$1" --help; }
version=$(field Version)
major=${version%%.*}
minor=$(printf %02d "$(cut -d. -f2 <<<"$version")")
for program in tessaly tessaly-batch; do
    page=$root/usr/share/man/man1/$program.1.gz
    problems=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$problems" ] || fail "$program.1 renders with warnings: $problems"
    text=$(LC_ALL=C MANWIDTH=80 man -l "$page" | col -b)
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
        grep -qx "$section" <<<"$text" || fail "$program.1 has no $section section"
    done
    options=$(help_of "$program" | grep -oE '^  (-[[:alnum:]], )?--[[:alnum:]-]+' | tr ', ' '\n\n' | grep .)
    [ -n "$options" ] || fail "$program --help lists no options"
    for option in $options; do
        grep -qe "$option\b" <<<"$text" || fail "$program.1 does not name $option"
    done
    [[ $("$root/usr/bin/$program" --version) == "$program $major.$minor"* ]] ||
        fail "$program --version does not say version $version"
    grep -q "$program $major.$minor" <<<"$text" || fail "$program.1 is not dated with version $version"
done

# The completion, as bash would call it on <Tab>: the words so far, the last
# one being completed.
cd "$work" && mkdir -p files/sub && touch files/a.jpg files/B.MPO files/c.txt files/d.tiff
complete_() {
    local program=$1
    shift
    bash -c '
        source "$1"
        source "$2"
        shift 2
        function=$(complete -p "$1" | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE=$1
        for ((i = 1; i < $#; i++)); do
            w=${COMP_WORDS[i]}
            [[ $w == = || ${COMP_WORDS[i - 1]} == = ]] && COMP_LINE+=$w || COMP_LINE+=" $w"
        done
        COMP_POINT=${#COMP_LINE}
        "$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort' \
        bash "$completion_lib" "$root/usr/share/bash-completion/completions/$program" "$program" "$@"
}
expect() {
    local want=$1 got
    shift
    got=$(cd "$work" && complete_ "$@" | tr '\n' ' ')
    [ "$got" = "$want" ] || fail "completing '$*' gave '$got', not '$want'"
}
for program in tessaly tessaly-batch; do
    options=$(help_of "$program" | grep -oE '^  (-[[:alnum:]], )?--[[:alnum:]-]+' | tr ', ' '\n\n' | grep .)
    offered=$(complete_ "$program" -)
    for option in $options; do
        grep -qx -- "$option" <<<"$offered" || fail "$program - does not offer $option"
    done
    expect "files/B.MPO files/a.jpg files/d.tiff files/sub " "$program" files/
done
# Every value list of the batch's help ("--method gray|half|...") is offered
# after its option, as a next word and after "=".
help_of tessaly-batch | sed -nE 's/^  (--[[:alnum:]-]+) ([[:alnum:]-]+(\|[[:alnum:]-]+)+)( .*)?$/\1 \2/p' >"$work/lists.txt"
[ -s "$work/lists.txt" ] || fail "tessaly-batch --help holds no value lists"
while read -r option values; do
    want="$(tr '|' '\n' <<<"$values" | grep -v '^[[:upper:]]*$' | sort | tr '\n' ' ')"
    expect "$want" tessaly-batch "$option" ""
    expect "$want" tessaly-batch "$option" = ""
done <"$work/lists.txt"
expect "files/B.MPO files/a.jpg files/d.tiff files/sub " tessaly-batch --right files/
expect "files/sub " tessaly-batch --out files/
expect "strict " tessaly-batch --align = ""
echo "PASS: $(basename "$deb") holds every file; lintian, AppStream, desktop entry, man pages and completion checked"
