#!/usr/bin/env bash
# Runs a test program (with its arguments) under valgrind's memcheck: any read or write of
# memory that is freed or not the program's fails the test, as does the program's own failure.
# Leaks are not counted. Skipped where valgrind is not installed.
set -uo pipefail
if ! command -v valgrind >/dev/null; then
  echo "SKIP: valgrind is not installed"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
exec valgrind --tool=memcheck --error-exitcode=97 --leak-check=no --undef-value-errors=no \
  --num-callers=30 --suppressions="$here/memcheck.supp" --gen-suppressions=all "$@"
