#!/bin/bash
# Times a web page printed to PDF through scrivex (the HTML creator object
# and the creator printer's driver) against the browser's own print to PDF
# run by hand with the same flags and a fresh profile each run. The object's
# own share (page loaded and printed, job submitted) comes from its trace.
# Then a batch of PAGES pages in one run with -D (one browser kept, a tab a
# page) against as many cold runs of the browser by hand.
#
#   bench/html_print.sh BUILD_DIR [RUNS] [PAGES]
set -eu
build=${1:?usage: html_print.sh BUILD_DIR [RUNS] [PAGES]}
runs=${2:-5}
pages=${3:-8}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$SCRIVEX_HOME"

{
  echo '<html><head><style>td{border:1px solid #888;padding:4px} h1{color:#246}</style></head><body>'
  echo '<h1>Quarterly report</h1>'
  for i in $(seq 40); do echo "<p>Paragraph $i: the quick brown fox jumps over the lazy dog, again and again.</p>"; done
  echo '<table>'
  for i in $(seq 60); do echo "<tr><td>Row $i</td><td>$((i * 37))</td><td>note</td></tr>"; done
  echo '</table></body></html>'
} >"$work/page.html"

sandbox=()
[ "$(id -u)" -eq 0 ] && sandbox=(--no-sandbox)
now() { date +%s%N; }
ms() { echo $(( ($2 - $1) / 1000000 )); }
by_hand() {  # page, pdf
  local profile
  profile=$(mktemp -d)
  chromium --headless "${sandbox[@]}" --user-data-dir="$profile" --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --disable-quic \
    --no-pdf-header-footer --print-to-pdf="$2" "file://$1" >/dev/null 2>&1
  rm -rf "$profile"
}

ours=() hand=() object=()
for r in $(seq "$runs"); do
  t0=$(now)
  SCRIVEX_TRACE=1 "$build/bin/scrivex" -i "$work/page.html" -o "$work/ours$r.pdf" >/dev/null \
    2>"$work/trace.txt" || true  # exit code: the result
  t1=$(now)
  by_hand "$work/page.html" "$work/hand$r.pdf"
  t2=$(now)
  [ -s "$work/ours$r.pdf" ] && [ -s "$work/hand$r.pdf" ] || { echo "run $r printed nothing" >&2; exit 1; }
  ours+=("$(ms "$t0" "$t1")") hand+=("$(ms "$t1" "$t2")")
  object+=("$(( $(sed -n 's/^Vellum.Quire: page printed in \([0-9]*\) ms, job \([0-9]*\) ms/\1+\2/p' "$work/trace.txt") ))")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
echo "scrivex:          ${ours[*]} ms (median $(median "${ours[@]}"))"
echo "  the object:     ${object[*]} ms (median $(median "${object[@]}"))"
echo "browser by hand:  ${hand[*]} ms (median $(median "${hand[@]}"))"
echo "pages: scrivex $(pdfinfo "$work/ours1.pdf" | sed -n 's/Pages: *//p'), by hand $(pdfinfo "$work/hand1.pdf" | sed -n 's/Pages: *//p')"

mkdir "$work/batch"
for i in $(seq "$pages"); do cp "$work/page.html" "$work/batch/page$i.html"; done
kept=() cold=()
for r in $(seq "$runs"); do
  rm -f "$work/batch/"*.pdf
  t0=$(now)
  "$build/bin/scrivex" -D -i "$work/batch/*.html" -o "$work/batch/*.pdf" >/dev/null 2>&1 || true
  t1=$(now)
  for i in $(seq "$pages"); do by_hand "$work/batch/page$i.html" "$work/cold$i.pdf"; done
  t2=$(now)
  made=$(find "$work/batch" -name "*.pdf" -size +0 | wc -l)
  [ "$made" -eq "$pages" ] || { echo "batch run $r printed $made of $pages pages" >&2; exit 1; }
  kept+=("$(ms "$t0" "$t1")") cold+=("$(ms "$t1" "$t2")")
done
echo "$pages pages, scrivex -D:       ${kept[*]} ms (median $(median "${kept[@]}"))"
echo "$pages pages, cold by hand:     ${cold[*]} ms (median $(median "${cold[@]}"))"
echo "kept browser speed-up: $(awk -v k="$(median "${kept[@]}")" -v c="$(median "${cold[@]}")" 'BEGIN { printf "%.2fx", c / k }')"
