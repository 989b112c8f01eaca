#!/usr/bin/env bash
# Regenerates the office-made samples in this folder from sources/ with a real office suite
# (soffice). Not run by the build or the tests: the samples are committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert() { # source filter-spec
  soffice --headless -env:UserInstallation="file://$work/profile" --convert-to "$2" --outdir "$here" "$here/sources/$1" >/dev/null 2>&1
}
convert slides.fodp 'pptx:Impress MS PowerPoint 2007 XML'
convert slides.fodp odp
convert book.fods 'xlsx:Calc MS Excel 2007 XML'
convert book.fods ods
convert letter.fodt 'rtf:Rich Text Format'
