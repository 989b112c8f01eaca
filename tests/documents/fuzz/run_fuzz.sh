#!/usr/bin/env bash
# Builds the rich-text reader and writer with clang's libFuzzer and AddressSanitizer, then fuzzes it for a
# bounded time. Usage: run_fuzz.sh SOURCE_DIR WORK_DIR [SECONDS]. Exits 77 (skipped) without clang.
set -euo pipefail
src=$1
work=$2
seconds=${3:-30}
clang=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$clang" ]; then
    echo "clang++ is not installed: fuzzing skipped"
    exit 77
fi
here=$src/tests/documents/fuzz
mkdir -p "$work/corpus" "$work/artifacts"
# shellcheck disable=SC2046
"$clang" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address \
    $(pkg-config --cflags Qt6Gui) -I"$src/src/documents" -I"$src/tests/documents" \
    "$here/rtf_fuzz.cpp" "$src/src/documents/RtfReader.cpp" "$src/src/documents/RtfListTable.cpp" "$src/src/documents/RtfControlWords.cpp" \
    "$src/src/documents/RtfWriter.cpp" "$src/src/documents/CodePages.cpp" \
    $(pkg-config --libs Qt6Gui) -o "$work/rtf_fuzz"
# a finding must fail the test, not read as "skipped" (77)
# Qt keeps some allocations for the process's life; they are not leaks of the reader
ASAN_OPTIONS=detect_leaks=0 "$work/rtf_fuzz" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=2048 -timeout=20 -error_exitcode=1 -timeout_exitcode=1 -dict="$here/rtf.dict" -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$here/seeds"
