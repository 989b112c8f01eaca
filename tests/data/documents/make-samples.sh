#!/usr/bin/env bash
# Regenerates the sample documents in this folder from the sources in sources/ with a real
# office suite (soffice) and qpdf. Not run by the build or the tests: the samples are committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$here/sources
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

convert() { # source filter-spec output-name
  local out=$work/out.$$
  rm -rf "$out"; mkdir "$out"
  soffice --headless --convert-to "$2" --outdir "$out" "$1" >/dev/null 2>&1
  mv "$out"/* "$here/$3"
}

convert "$src/report.fodt" 'doc:MS Word 97' report97.doc
convert "$src/report.fodt" 'dot:MS Word 97 Vorlage' report-template.dot
convert "$src/report.fodt" 'docx:MS Word 2007 XML' report.docx
convert "$src/report.fodt" 'docx:Office Open XML Text' report-ooxml.docx
convert "$src/report.fodt" 'pdf:writer_pdf_Export' report.pdf
convert "$src/report.fodt" 'html:HTML (StarWriter)' report-writer.html
soffice --headless --infilter='HTML (StarWriter)' --convert-to 'doc:MS Word 97' --outdir "$work" "$src/latin.html" >/dev/null 2>&1
mv "$work/latin.doc" "$here/letter-latin.doc"

convert "$src/book.fods" 'xls:MS Excel 97' book97.xls
convert "$src/book.fods" 'xlt:MS Excel 97 Vorlage/Template' book-template.xlt
# Enough different strings that the workbook's string table runs over several records.
soffice --headless --infilter='CSV:44,34,76' --convert-to 'xls:MS Excel 97' --outdir "$work" "$src/inventory.csv" >/dev/null 2>&1
mv "$work/inventory.xls" "$here/inventory.xls"
convert "$src/book.fods" 'xlsx:Calc MS Excel 2007 XML' book.xlsx

convert "$src/slides.fodp" 'ppt:MS PowerPoint 97' slides97.ppt
convert "$src/slides.fodp" 'pptx:Impress MS PowerPoint 2007 XML' slides.pptx
convert "$src/slides.fodp" 'pdf:impress_pdf_Export' slides.pdf

# Pages as browsers keep them: the declared code page, not UTF-8.
iconv -f UTF-8 -t WINDOWS-1251 "$src/page-cyrillic.html" > "$here/page-cyrillic.htm"
iconv -f UTF-8 -t SHIFT_JIS "$src/page-japanese.html" > "$here/page-japanese.html"
iconv -f UTF-8 -t ISO-8859-7 "$src/page-greek.xhtml" > "$here/page-greek.htm"

# Documents no converter can read.
qpdf --encrypt secret owner 256 -- "$here/report.pdf" "$here/hostile/encrypted.pdf"
qpdf --empty "$here/hostile/no-pages.pdf"
pdftoppm -r 30 -png -f 1 -l 1 -singlefile "$here/report.pdf" scan
printf '<html><body><p><img src="%s" width="600"></p></body></html>' "$work/scan.png" > scan.html
soffice --headless --infilter='HTML (StarWriter)' --convert-to 'pdf:writer_pdf_Export' --outdir "$work" scan.html >/dev/null 2>&1
mv scan.pdf "$here/hostile/image-only.pdf"
head -c 3000 "$here/report.pdf" > "$here/hostile/truncated.pdf"
head -c 4096 "$here/report97.doc" > "$here/hostile/truncated.doc"
head -c 2000 "$here/book.xlsx" > "$here/hostile/truncated.xlsx"
printf 'This is a plain text file that was renamed.\n' > "$here/hostile/text-renamed.doc"
cp "$here/hostile/text-renamed.doc" "$here/hostile/text-renamed.xls"
cp "$here/hostile/text-renamed.doc" "$here/hostile/text-renamed.ppt"
: > "$here/hostile/empty.doc"
: > "$here/hostile/empty.pdf"
