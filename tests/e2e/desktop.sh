#!/usr/bin/env bash
# The desktop entry passes the freedesktop validator, every type it names is
# known (to the system or to the MIME package installed with the program),
# and that package builds a database that maps *.mpo and *.jps to kinds of
# JPEG, a JPEG with a JPS descriptor to JPS whatever its name.
set -eu
entry=$1
package=$2
desktop-file-validate "$entry"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mime/packages"
cp "$package" "$work/mime/packages/"
update-mime-database "$work/mime"
grep -qx 'image/x-mpo' "$work/mime/types" || { echo "FAIL: image/x-mpo not defined"; exit 1; }
grep -q ':image/x-mpo:\*\.mpo' "$work/mime/globs2" || { echo "FAIL: no *.mpo glob"; exit 1; }
grep -qx 'image/x-mpo image/jpeg' "$work/mime/subclasses" || { echo "FAIL: not a JPEG"; exit 1; }
grep -q ':image/x-jps:\*\.jps' "$work/mime/globs2" || { echo "FAIL: no *.jps glob"; exit 1; }
grep -qx 'image/x-jps image/jpeg' "$work/mime/subclasses" || { echo "FAIL: JPS not a JPEG"; exit 1; }
grep -q 'image/x-jps' "$work/mime/magic" || { echo "FAIL: no JPS magic"; exit 1; }

types=$(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' ')
for t in $types; do
    grep -qx "$t" /usr/share/mime/types "$work/mime/types" || { echo "FAIL: unknown type $t"; exit 1; }
done
echo "PASS: desktop entry and MIME package"
