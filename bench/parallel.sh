#!/bin/bash
# A batch on worker processes (--jobs) against the same batch serial, and
# against what a user would script instead: soffice --convert-to started cold
# per file, one LibreOffice kept and fed over UNO (bench/uno_baseline.py),
# Chromium's --print-to-pdf started per page. Also the memory of a worker
# with its kept office. Every case is timed RUNS times; medians are shown.
#
#   bench/parallel.sh BUILD_DIR [RUNS] [CASES]
#
# CASES is a list of: pdf doc html memory (all by default).
set -eu
. "$(dirname "$0")/office_document.sh"
build=${1:?usage: parallel.sh BUILD_DIR [RUNS] [CASES]}
runs=${2:-3}
cases=${3:-pdf doc html memory}
build=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
scrivex=$build/bin/scrivex
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$SCRIVEX_HOME"
cd "$work"

ms() { date +%s%3N; }
# time_ms COMMAND...: the milliseconds it took (its output discarded).
time_ms() { local s; s=$(ms); "$@" >/dev/null 2>&1 || true; echo $(($(ms) - s)); }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
# row NAME OURS THEIRS: the medians and how many times faster ours is.
row() {
  printf '%-58s %8d / %8d ms  %5.2fx\n' "$1" "$2" "$3" "$(awk "BEGIN {print $3 / $2}")"
}
clean() { rm -rf "$work/out" "$work/profile"; mkdir -p "$work/out"; }

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
  "$(soffice --version 2>/dev/null | head -1 | cut -d' ' -f1-2), $(gs --version | sed 's/^/gs /')," \
  "load $(cut -d' ' -f1 /proc/loadavg); $runs runs each"

if [[ " $cases " == *" pdf "* ]]; then
  mkdir -p pdf
  for i in $(seq 40); do
    gs -q -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile=pdf/doc$i.pdf -c "
      1 1 3 { /n exch def /Times-Roman findfont 11 scalefont setfont
        0 1 55 { /l exch def 54 740 l 12 mul sub moveto
          (Document $i page ) show n 3 string cvs show ( line ) show l 3 string cvs show
          ( - the quick brown fox jumps over the lazy dog.) show } for
        0.2 setgray 300 200 n 5 mul add 200 150 rectfill showpage } for"
  done
  "$scrivex" -i pdf/doc1.pdf -o warm.tif -c 4 >/dev/null 2>&1 || true
  serial=() parallel=()
  for _ in $(seq "$runs"); do
    clean; serial+=("$(time_ms "$scrivex" -i 'pdf/*.pdf' -o out/ -c 4 -r 300)")
    [ "$(ls out | wc -l)" = 40 ] || { echo "the serial batch did not convert"; exit 1; }
    clean; parallel+=("$(time_ms "$scrivex" --jobs 2 -i 'pdf/*.pdf' -o 'out/*.tif' -c 4 -r 300)")
    [ "$(ls out | wc -l)" = 40 ] || { echo "the parallel batch did not convert"; exit 1; }
  done
  row "40 PDFs of 3 pages -> G4 TIFF 300 dpi: --jobs 2 / serial" \
    "$(median "${parallel[@]}")" "$(median "${serial[@]}")"
fi

if [[ " $cases " == *" doc "* || " $cases " == *" memory "* ]]; then
  # A two-page Word document, copied 16 times.
  mkdir -p doc
  office_document doc "$work"
  for i in $(seq 16); do cp doc.doc "doc/doc$i.doc"; done
  "$scrivex" -i doc.doc -o warm.pdf >/dev/null 2>&1 || true
  echo "the document: $(pdfinfo warm.pdf | awk '/^Pages:/ {print $2}') pages"
fi

if [[ " $cases " == *" doc "* ]]; then
  serial=() parallel=() cold=() uno=()
  for _ in $(seq "$runs"); do
    clean; serial+=("$(time_ms "$scrivex" -D -i 'doc/*.doc' -o out/)")
    [ "$(ls out | wc -l)" = 16 ] || { echo "the serial batch did not convert"; exit 1; }
    clean; parallel+=("$(time_ms "$scrivex" --jobs 2 -D -i 'doc/*.doc' -o out/)")
    [ "$(ls out | wc -l)" = 16 ] || { echo "the parallel batch did not convert"; exit 1; }
    clean; uno+=("$(time_ms /usr/bin/python3 "$here/uno_baseline.py" out doc/*.doc)")
    [ "$(ls out | wc -l)" = 16 ] || { echo "the UNO baseline did not convert"; exit 1; }
    clean
    s=$(ms)
    for f in doc/*.doc; do
      rm -rf "$work/profile"
      soffice --headless "-env:UserInstallation=file://$work/profile" --convert-to pdf \
        --outdir out "$f" >/dev/null 2>&1
    done
    cold+=($(($(ms) - s)))
  done
  p=$(median "${parallel[@]}")
  row "16 .doc -> PDF: --jobs 2 -D / -D serial" "$p" "$(median "${serial[@]}")"
  row "16 .doc -> PDF: --jobs 2 -D / 16 cold soffice --convert-to" "$p" "$(median "${cold[@]}")"
  row "16 .doc -> PDF: --jobs 2 -D / one office kept over UNO" "$p" "$(median "${uno[@]}")"
fi

if [[ " $cases " == *" html "* ]]; then
  mkdir -p html
  for i in $(seq 8); do
    printf '<html><head><style>body{font:14px serif} td{border:1px solid #888}</style></head><body>
<h1>Page %d</h1><table>%s</table></body></html>\n' "$i" \
      "$(for r in $(seq 40); do printf '<tr><td>row %d</td><td>some text in a cell</td></tr>' "$r"; done)" >html/page$i.html
  done
  browser=$(command -v chromium || command -v chromium-browser)
  "$scrivex" -i html/page1.html -o warm.pdf >/dev/null 2>&1 || true
  kept=() cold=()
  for _ in $(seq "$runs"); do
    clean; kept+=("$(time_ms "$scrivex" -D -i 'html/*.html' -o out/)")
    [ "$(ls out | wc -l)" = 8 ] || { echo "the HTML batch did not convert"; exit 1; }
    clean
    s=$(ms)
    for f in html/*.html; do
      rm -rf "$work/profile"
      "$browser" --headless --no-sandbox --disable-gpu "--user-data-dir=$work/profile" \
        --no-pdf-header-footer "--print-to-pdf=out/$(basename "$f" .html).pdf" "file://$work/$f" >/dev/null 2>&1
    done
    cold+=($(($(ms) - s)))
  done
  row "8 HTML pages -> PDF: -D (kept browser) / 8 cold Chromium" "$(median "${kept[@]}")" "$(median "${cold[@]}")"
fi

if [[ " $cases " == *" memory "* ]]; then
  # The proportional memory of each worker's process tree (worker, office,
  # its helpers), sampled while a batch converts; the largest sample.
  "$scrivex" --jobs 2 -D -i 'doc/*.doc' -o out/ >/dev/null 2>&1 &
  run=$!
  peak=0
  tree() {  # PID: it and its descendants
    echo "$1"
    for c in $(pgrep -P "$1"); do tree "$c"; done
  }
  while kill -0 "$run" 2>/dev/null; do
    for w in $(pgrep -P "$run"); do
      kb=0
      for p in $(tree "$w"); do
        v=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
        kb=$((kb + ${v:-0}))
      done
      ((kb > peak)) && peak=$kb
    done
    sleep 0.2
  done
  wait "$run" || true
  echo "memory of one worker with its kept office (largest PSS sample): $((peak / 1024)) MiB"
fi
