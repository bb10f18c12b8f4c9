#!/bin/bash
# Peak memory and time of the text printer alone on the files that swell:
# 100 KB of form feeds (100,000 pages), a 10 MB single line and a 10 MB file
# of ordinary lines. The Inkwell printer takes the jobs; its driver's work is
# not counted, only the text printer's process.
#
#   bench/text_print_memory.sh BUILD_DIR [NOTEPAD]
# NOTEPAD: another text printer binary to measure in place of the build's.
set -eu
build=${1:?usage: text_print_memory.sh BUILD_DIR [NOTEPAD]}
build=$(cd "$build" && pwd)
bin=$build/bin
notepad=$(realpath "${2:-$bin/windows/system32/notepad.exe}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$SCRIVEX_HOME"
cd "$work"

head -c 100000 /dev/zero | tr '\0' '\f' >feeds.txt
seq -f "word%06g" 1000000 | tr '\n' ' ' | head -c 10000000 >line.txt
seq -f "line %g: the quick brown fox jumps over the lazy dog, and again" 160000 |
  head -c 10000000 >lines.txt

"$bin/printer-admin" default Inkwell >/dev/null
for file in feeds.txt line.txt lines.txt; do
  printf '[AutoSave]\nIsAutoSave=1\nOutputFile=%s\n' "$work/out.pdf" >"$SCRIVEX_HOME/inkwell.ini"
  rm -f out.pdf
  /usr/bin/time -f "%M %e" -o time.txt "$notepad" /p "$file" 2>err.txt || {
    echo "$file: the text printer failed: $(tail -1 err.txt)" >&2
    continue
  }
  read -r kb seconds <time.txt
  pages=$(pdfinfo out.pdf 2>/dev/null | awk '/^Pages:/ { print $2 }')
  printf '%-10s %6.1f MB peak  %7.1f s  %s pages\n' "$file" "$(echo "$kb / 1024" | bc -l)" \
    "$seconds" "${pages:-?}"
done
