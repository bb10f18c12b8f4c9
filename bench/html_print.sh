#!/bin/bash
# Times a web page printed to PDF through scrivex (the HTML creator object
# and the creator printer's driver) against the browser's own print to PDF
# run by hand with the same flags and a fresh profile each run. The object's
# own share (page loaded and printed, job submitted) comes from its trace.
#
#   bench/html_print.sh BUILD_DIR [RUNS]
set -eu
build=${1:?usage: html_print.sh BUILD_DIR [RUNS]}
runs=${2:-5}
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

ours=() hand=() object=()
for r in $(seq "$runs"); do
  t0=$(now)
  SCRIVEX_TRACE=1 "$build/bin/scrivex" -i "$work/page.html" -o "$work/ours$r.pdf" >/dev/null \
    2>"$work/trace.txt" || true  # exit code: the result
  t1=$(now)
  profile=$(mktemp -d)
  chromium --headless "${sandbox[@]}" --user-data-dir="$profile" --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --disable-quic \
    --no-pdf-header-footer --print-to-pdf="$work/hand$r.pdf" "file://$work/page.html" >/dev/null 2>&1
  t2=$(now)
  rm -rf "$profile"
  [ -s "$work/ours$r.pdf" ] && [ -s "$work/hand$r.pdf" ] || { echo "run $r printed nothing" >&2; exit 1; }
  ours+=("$(ms "$t0" "$t1")") hand+=("$(ms "$t1" "$t2")")
  object+=("$(( $(sed -n 's/^Vellum.Quire: page printed in \([0-9]*\) ms, job \([0-9]*\) ms/\1+\2/p' "$work/trace.txt") ))")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
echo "scrivex:          ${ours[*]} ms (median $(median "${ours[@]}"))"
echo "  the object:     ${object[*]} ms (median $(median "${object[@]}"))"
echo "browser by hand:  ${hand[*]} ms (median $(median "${hand[@]}"))"
echo "pages: scrivex $(pdfinfo "$work/ours1.pdf" | sed -n 's/Pages: *//p'), by hand $(pdfinfo "$work/hand1.pdf" | sed -n 's/Pages: *//p')"
