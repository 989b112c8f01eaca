#!/usr/bin/env bash
# Builds each document converter with clang's libFuzzer and AddressSanitizer, then fuzzes each for
# a bounded time, starting from the sample documents. Usage:
#   run_fuzz.sh SOURCE_DIR WORK_DIR [SECONDS [CONVERTER...]]
# CONVERTER is xls, ppt, doc, htm or pdf (all by default); SECONDS is the time for each.
# Exits 77 (skipped) without clang.
set -euo pipefail
src=$1
work=$2
seconds=${3:-30}
shift $(($# < 3 ? $# : 3))
converters=("$@")
[ ${#converters[@]} -gt 0 ] || converters=(xls ppt doc htm pdf)
clang=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$clang" ]; then
    echo "clang++ is not installed: fuzzing skipped"
    exit 77
fi
compiler=("$clang")
if command -v ccache >/dev/null; then
    compiler=(ccache "$clang")
fi
here=$src/tests/converters/fuzz
conv=$src/converters
samples=$src/tests/data/documents
mkdir -p "$work/objects" "$work/bin"
# shellcheck disable=SC2207
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer-no-link,address -I"$conv/common" -I"$conv/interface" -I"$src/shared"
       $(pkg-config --cflags libgsf-1 libzip libxml-2.0 poppler-cpp))
# shellcheck disable=SC2207
libraries=($(pkg-config --libs libgsf-1 libzip libxml-2.0))

# compile OBJECT SOURCE [FLAGS...]: prints the object file's path
compile() {
    local object=$work/objects/$1.o source=$2
    shift 2
    "${compiler[@]}" "${flags[@]}" "$@" -c "$source" -o "$object"
    echo "$object"
}

common=()
# the zip reader is shared with the service
for source in "$conv"/common/*.cpp "$src"/shared/*.cpp; do
    common+=("$(compile "$(basename "${source%.cpp}")" "$source")")
done

for name in "${converters[@]}"; do
    case $name in
    xls) program=xls-extract main=$conv/xls/xls_extract.cpp extension=.xls arguments=1
         sources=("$conv"/xls/BiffReader.cpp "$conv"/xls/NumberText.cpp "$conv"/xls/Workbook.cpp "$conv"/xls/XlsxReader.cpp)
         seeds=("$samples"/*.xls "$samples"/*.xlsx "$samples"/*.xlt) extra=() ;;
    ppt) program=ppt-extract main=$conv/ppt/ppt_extract.cpp extension=.ppt arguments=1
         sources=("$conv"/ppt/PptReader.cpp "$conv"/ppt/PptxReader.cpp)
         seeds=("$samples"/*.ppt "$samples"/*.pptx) extra=() ;;
    doc) program=wordtext main=$conv/word/wordtext.cpp extension=.doc arguments=1
         sources=("$conv"/word/CodePage.cpp "$conv"/word/DocxReader.cpp "$conv"/word/WordBinary.cpp)
         seeds=("$samples"/*.doc "$samples"/*.docx "$samples"/*.dot) extra=() ;;
    htm) program=htm-extract main=$conv/html/htm_extract.cpp extension=.htm arguments=1
         sources=() seeds=("$samples"/*.htm "$samples"/*.html) extra=() ;;
    pdf) program=pdf-extract main=$conv/pdf/pdf_extract.cpp extension=.pdf arguments=2
         sources=() seeds=("$samples"/*.pdf) extra=($(pkg-config --libs poppler-cpp)) ;;
    *) echo "unknown converter: $name" >&2; exit 2 ;;
    esac
    objects=("$(compile "$program" "$main" -Dmain=converterMain)"
             "$(compile "${name}_fuzz" "$here/converter_fuzz.cpp" -DCONVERTER_NAME="\"$program\"" \
                        -DCONVERTER_EXTENSION="\"$extension\"" -DCONVERTER_ARGUMENTS=$arguments)")
    for source in "${sources[@]}"; do
        objects+=("$(compile "$(basename "${source%.cpp}")" "$source")")
    done
    binary=$work/bin/${name}_fuzz
    "$clang" -fsanitize=fuzzer,address "${objects[@]}" "${common[@]}" "${libraries[@]}" "${extra[@]}" -o "$binary"
    if [ "$name" = doc ]; then
        # the Word converter reads its character mapping files from beside the program
        "$clang" -std=c++20 -O1 "$conv/tools/make_code_page_tables.cpp" -o "$work/bin/make_code_page_tables"
        "$work/bin/make_code_page_tables" "$work/bin" 874 1250 1251 1252 1253 1254 1255 1256 1257 1258 932 936 949 950 10000
    fi
    mkdir -p "$work/corpus/$name" "$work/artifacts/$name" "$work/seeds/$name" "$work/tmp"
    cp "${seeds[@]}" "$work/seeds/$name/"
    echo "fuzzing $program for $seconds s"
    # the converter's complaints about each damaged input would bury the fuzzer's report
    # a finding must fail the run, not read as "skipped" through the fuzzer's own exit code
    TMPDIR=$work/tmp LSAN_OPTIONS=suppressions=$here/lsan.supp "$binary" -max_total_time="$seconds" -seed=1 \
        -rss_limit_mb=2048 -timeout=20 -error_exitcode=1 -timeout_exitcode=1 \
        -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$work/artifacts/$name/" \
        "$work/corpus/$name" "$work/seeds/$name"
done
