# --- installer ---
# Set above: title, manifest (one "DEST START SIZE SHA256" line per file), manifest_sum (the
# checksum of the manifest), payload_size and payload_offset (bytes of this script before
# the payload); plain_path comes before this code.
#
#   package [/Q:A]
#
# Checks the file list, every name in it and the whole payload before writing anything,
# then installs each file below the Windows folder: $windir, else
# $XDG_DATA_HOME/Brenmark/Windows (~/.local/share/...). A name that is not a plain path
# below that folder is refused, whatever the checksums say.
# Existing folders and files are matched without regard to case. Each file is written
# beside its place and renamed into it, so a file that is there is always whole, a link
# planted at its place is replaced and never written through, and a folder on the way
# that is a link, or that leads out of the Windows folder, is refused. With /Q:A, or with
# no terminal on standard input, nothing is asked. Exit codes: 0 installed, 1 declined,
# 2 wrong parameters, 3 damaged or unsafe package, 4 the Windows folder cannot be written.
LC_ALL=C
export LC_ALL
umask 022
package=$0
name=${package##*/}

say() { printf '%s: %s\n' "$name" "$*" >&2; }
fail() {
    code=$1
    shift
    say "$*"
    exit "$code"
}

quiet=0
for argument in "$@"; do
    case $argument in
        /[Qq]:[Aa]) quiet=1 ;;
        '/?' | -h | --help)
            printf 'Installs %s below the Windows folder ($windir).\nUsage: %s [/Q:A]   (/Q:A: quiet, no questions)\n' \
                "$title" "$name"
            exit 0 ;;
        *) fail 2 "unknown parameter \"$argument\"; the only one is /Q:A (install without questions)." ;;
    esac
done

offset=${payload_offset#"${payload_offset%%[!0]*}"}
offset=${offset:-0}

# The whole package first: its length, then every file's checksum.
length=$(wc -c < "$package") || fail 3 "cannot read the package $package."
length=$((length))
if [ "$length" -ne $((offset + payload_size)) ]; then
    fail 3 "the package is damaged: it holds $length bytes instead of $((offset + payload_size)). Download it again."
fi
listed=$(printf '%s' "$manifest" | sha256sum)
if [ "${listed%% *}" != "${manifest_sum:-}" ]; then
    fail 3 "the package is damaged: the checksum of its file list does not match. Download it again."
fi
extract() { tail -c +$((offset + $1 + 1)) "$package" | head -c "$2"; }
while read -r dest start size sum; do
    [ -n "$dest" ] || continue
    plain_path "$dest" || fail 3 "the package is unsafe: \"$dest\" is not a plain path below the Windows folder. Nothing was installed."
    # the numbers go into arithmetic, where anything but digits could run commands
    case $start,$size in
        ,* | *, | *[!0-9,]*) fail 3 "the package is damaged: the entry of $dest is not well formed." ;;
    esac
    actual=$(extract "$start" "$size" | sha256sum)
    if [ "${actual%% *}" != "$sum" ]; then
        fail 3 "the package is damaged: the checksum of $dest does not match. Download it again."
    fi
done <<END_OF_MANIFEST
$manifest
END_OF_MANIFEST

windows=${windir:-}
if [ -z "$windows" ]; then
    data=${XDG_DATA_HOME:-}
    case $data in /*) ;; *) data=$HOME/.local/share ;; esac
    windows=$data/Brenmark/Windows
fi

if [ "$quiet" -eq 0 ] && [ -t 0 ]; then
    printf 'This package installs %s into %s:\n' "$title" "$windows"
    while read -r dest start size sum; do
        [ -z "$dest" ] || printf '  %s (%s bytes)\n' "$dest" "$size"
    done <<END_OF_MANIFEST
$manifest
END_OF_MANIFEST
    printf 'Install now? [y/N] '
    read -r answer || answer=
    case $answer in
        [Yy] | [Yy][Ee][Ss]) ;;
        *)
            echo "Nothing was installed."
            exit 1 ;;
    esac
fi

# The entry of folder $1 named $2 without regard to case (an exact match first); empty when none.
find_entry() {
    if [ -e "$1/$2" ] || [ -L "$1/$2" ]; then
        printf '%s' "$2"
        return
    fi
    wanted=$(printf '%s' "$2" | tr '[:upper:]' '[:lower:]')
    for entry in "$1"/* "$1"/.[!.]* "$1"/..?*; do
        [ -e "$entry" ] || [ -L "$entry" ] || continue
        base=${entry##*/}
        if [ "$(printf '%s' "$base" | tr '[:upper:]' '[:lower:]')" = "$wanted" ]; then
            printf '%s' "$base"
            return
        fi
    done
}

mkdir -p "$windows" 2>/dev/null || fail 4 "cannot create the Windows folder $windows."
[ -d "$windows" ] || fail 4 "the Windows folder $windows is not a folder."
# where the Windows folder really is: every folder a file goes to must be below it
inside=$(CDPATH= cd -P -- "$windows" && pwd -P) || fail 4 "cannot enter the Windows folder $windows."

temporary=
trap '[ -z "$temporary" ] || rm -f "$temporary"' EXIT
trap 'exit 130' HUP INT TERM

install_file() {
    dest=$1 start=$2 size=$3 sum=$4
    folder=$windows
    rest=$dest
    while :; do
        case $rest in */*) ;; *) break ;; esac
        part=${rest%%/*}
        rest=${rest#*/}
        found=$(find_entry "$folder" "$part")
        if [ -z "$found" ]; then
            mkdir "$folder/$part" 2>/dev/null || fail 4 "cannot create the folder $folder/$part."
            found=$part
        fi
        folder=$folder/$found
        [ ! -L "$folder" ] || fail 4 "$folder is a symbolic link; nothing is installed through it."
        [ -d "$folder" ] || fail 4 "$folder is in the way: it is not a folder."
    done
    real=$(CDPATH= cd -P -- "$folder" && pwd -P) || fail 4 "cannot enter the folder $folder."
    case $real/ in
        "${inside%/}"/*) ;;
        *) fail 4 "$folder leads out of the Windows folder (to $real); nothing is installed there." ;;
    esac
    found=$(find_entry "$folder" "$rest")
    target=$folder/${found:-$rest}
    if [ -d "$target" ] && [ ! -L "$target" ]; then
        fail 4 "$target is in the way: it is a folder."
    fi
    temporary=$(mktemp "$folder/.$rest.XXXXXX" 2>/dev/null) || fail 4 "cannot write to the folder $folder."
    extract "$start" "$size" > "$temporary" 2>/dev/null || fail 4 "cannot write $target (is the disk full?)."
    written=$(sha256sum < "$temporary")
    [ "${written%% *}" = "$sum" ] || fail 4 "cannot write $target (is the disk full?)."
    chmod 644 "$temporary"
    mv -f -T "$temporary" "$target" 2>/dev/null || fail 4 "cannot put $target in place."
    temporary=
}

while read -r dest start size sum; do
    [ -z "$dest" ] || install_file "$dest" "$start" "$size" "$sum"
done <<END_OF_MANIFEST
$manifest
END_OF_MANIFEST
[ "$quiet" -eq 1 ] || echo "Installed $title into $windows."
