#!/bin/sh
# make-doc-package.sh OUTPUT FOLDER: writes the self-unpacking Word converter package OUTPUT,
# a POSIX shell script followed by a compressed archive of FOLDER's wordtext and cp*.txt files.
set -eu
out=$1
folder=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$folder" && ls cp*.txt >/dev/null && test -x wordtext)
# fixed owners, dates and order, so the same build makes the same package
(cd "$folder" && tar --owner=0 --group=0 --numeric-owner --mtime=@0 --sort=name -cf - wordtext cp*.txt) |
  gzip -9n >"$tmp/payload"
cat >"$tmp/head" <<'SCRIPT'
#!/bin/sh
# Word converter package. Run it with no arguments in the folder it is to fill: it unpacks the
# program wordtext and its character mapping files there. The mapping file cp1252.txt is moved
# in last, so its presence says the folder is complete.
set -eu
umask 022
here=$(pwd -P)
work=$(mktemp -d "$here/.unpack.XXXXXX") || { echo "doc-extract: cannot write in $here" >&2; exit 1; }
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
if ! tail -n +@SKIP@ "$0" | tar -xzmf - -C "$work" --no-same-owner; then
  echo "doc-extract: the package is damaged: its content cannot be unpacked" >&2
  exit 1
fi
# each file replaces what has its name (a link planted there is replaced, not followed)
for file in "$work"/*; do
  name=${file##*/}
  [ "$name" = cp1252.txt ] && continue
  mv -fT "$file" "$here/$name" || { echo "doc-extract: cannot write $here/$name" >&2; exit 1; }
done
mv -fT "$work/cp1252.txt" "$here/cp1252.txt" || { echo "doc-extract: cannot write $here/cp1252.txt" >&2; exit 1; }
exit 0
SCRIPT
lines=$(($(wc -l <"$tmp/head") + 1))
sed "s/@SKIP@/$lines/" "$tmp/head" >"$tmp/package"
cat "$tmp/payload" >>"$tmp/package"
chmod 755 "$tmp/package"
mv -f "$tmp/package" "$out"
