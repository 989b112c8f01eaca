#!/bin/sh
# Makes one optional-component package: a POSIX shell archive that checks its payload and
# installs its files below the Windows folder ($windir).
#
#   make-package.sh OUTPUT TITLE DEST=SOURCE...
#
# DEST is the file's path below $windir ("msagent/chars/Merlin.acs"), SOURCE the file to
# carry, or "text:" followed by the file's whole content.
set -eu
LC_ALL=C
export LC_ALL

if [ $# -lt 3 ]; then
    echo "usage: make-package.sh OUTPUT TITLE DEST=SOURCE..." >&2
    exit 2
fi
output=$1
title=$2
shift 2

here=$(dirname "$0")
. "$here/plain-path.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: > "$work/payload"
: > "$work/manifest"
for entry in "$@"; do
    dest=${entry%%=*}
    source=${entry#*=}
    if ! plain_path "$dest"; then
        printf 'make-package.sh: "%s" is not a plain path below the Windows folder\n' "$dest" >&2
        exit 2
    fi
    case $source in
        text:*) printf '%s\n' "${source#text:}" > "$work/file" ;;
        *) cp "$source" "$work/file" ;;
    esac
    start=$(wc -c < "$work/payload")
    size=$(wc -c < "$work/file")
    sum=$(sha256sum < "$work/file")
    cat "$work/file" >> "$work/payload"
    printf '%s %s %s %s\n' "$dest" $((start)) $((size)) "${sum%% *}" >> "$work/manifest"
done
total=$(wc -c < "$work/payload")
# the file list's own checksum: each line holds a file's checksum, so together they cover
# every name, place and byte the package installs (the list is the text between the quotes)
manifest_sum=$({ echo; cat "$work/manifest"; } | sha256sum)

# The installer's own code, with this package's title and file list filled in; the offset of
# the payload is written last, padded, so that filling it in leaves the length unchanged.
{
    echo '#!/bin/sh'
    printf "title='%s'\n" "$(printf '%s' "$title" | sed "s/'/'\\\\''/g")"
    echo "manifest='"
    cat "$work/manifest"
    echo "'"
    printf 'manifest_sum=%s\n' "${manifest_sum%% *}"
    printf 'payload_size=%s\n' $((total))
    echo 'payload_offset=@@@@@@@@@@'
    cat "$here/plain-path.sh" "$here/installer.sh"
    echo 'exit 0'
} > "$work/head"
offset=$(wc -c < "$work/head")
padded=$(printf '%10s' $((offset)) | tr ' ' 0)
sed "s/^payload_offset=@@@@@@@@@@\$/payload_offset=$padded/" "$work/head" > "$work/package"
cat "$work/payload" >> "$work/package"
chmod 755 "$work/package"
mkdir -p "$(dirname "$output")"
mv -f "$work/package" "$output"
