# --- names ---
# Whether $1 may name a file below the Windows folder: a relative path of plain names (none
# empty or ".", none holding ".."), with no backslash, quote, space or control character.
# The package builder refuses other names, and every package checks them again itself.
plain_path() {
    case $1 in
        '' | /* | */ | *//* | *..* | . | ./* | */. | */./* | *\\* | *"'"* | *[[:space:][:cntrl:]]*) return 1 ;;
    esac
    return 0
}
