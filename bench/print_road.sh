#!/bin/bash
# Times documents through the printing road against the tool each route
# drives, run by hand on the same input:
#   text -> PDF   scrivex -e (the Inkwell printer)  vs  the text printer printing to Inkwell
#   image -> PDF  scrivex                             vs  ImageMagick decoding and scaling it to a PNG
#                 (Debian's ImageMagick policy refuses to write PDF)
#   HTML -> PDF   scrivex                             vs  Chromium's own --print-to-pdf
#
#   bench/print_road.sh BUILD_DIR [RUNS]
set -eu
build=${1:?usage: print_road.sh BUILD_DIR [RUNS]}
runs=${2:-5}
build=$(cd "$build" && pwd)
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$SCRIVEX_HOME"
cd "$work"

for i in $(seq 1 400); do echo "Line $i: the quick brown fox jumps over the lazy dog, Grüße."; done >text.txt
convert -size 2480x3508 plasma:fractal -quality 90 photo.jpg
{
  echo '<html><body><h1>Report</h1>'
  for i in $(seq 1 60); do echo "<p>Paragraph $i: <b>bold</b> and <i>italic</i> text in a table cell.</p>"; done
  echo '</body></html>'
} >page.html

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# timed OUTPUT COMMAND...: the median wall time of RUNS runs in ms; each run
# must write OUTPUT (scrivex ends with 1 on success, so exit codes say little).
timed() {
  local out=$1 t=() i start
  shift
  for i in $(seq 1 "$runs"); do
    rm -f "$out"
    start=$(now)
    "$@" >/dev/null 2>&1 || true
    t+=($((($(now) - start) / 1000)))
    [ -s "$out" ] || { echo "no $out from: $*" >&2; exit 1; }
  done
  printf '%s\n' "${t[@]}" | median | awk '{printf "%.1f", $1 / 1000}'
}
report() {  # LABEL OURS HAND
  awk -v l="$1" -v a="$2" -v b="$3" 'BEGIN {printf "%-16s scrivex %8.1f ms   by hand %8.1f ms   ratio %.2f\n", l, a, b, a / b}'
}

# The text printer by hand: the Inkwell printer as the default, told to
# write a PDF, as the program leaves it set up.
hand_text() {
  printf '[AutoSave]\nIsAutoSave=1\nOutputFile=%s\nFinishedMessageType=FileMapping\n' "$work/hand.pdf" \
    >"$SCRIVEX_HOME/inkwell.ini"
  "$bin/printer-admin" default Inkwell >/dev/null
  "$bin/windows/system32/notepad.exe" /p text.txt
  "$bin/printer-admin" default "Brindle Converter and Creator" >/dev/null
}
"$bin/scrivex" -e -i text.txt -o warm.pdf >/dev/null || true  # installs the printers
report "text -> PDF" "$(timed text.pdf "$bin/scrivex" -e -i text.txt -o text.pdf)" \
  "$(timed hand.pdf hand_text)"
report "image -> PDF" "$(timed photo.pdf "$bin/scrivex" -i photo.jpg -o photo.pdf)" \
  "$(timed hand.png convert photo.jpg -resize 2480x3508 hand.png)"

chromium=$(command -v chromium || true)
if [ -n "$chromium" ]; then
  flags=(--headless --disable-gpu --no-first-run --disable-background-networking
    --disable-component-update --disable-sync --disable-quic --no-pdf-header-footer)
  [ "$(id -u)" = 0 ] && flags+=(--no-sandbox)
  hand_html() {
    local profile
    profile=$(mktemp -d)
    "$chromium" "${flags[@]}" --user-data-dir="$profile" --print-to-pdf="$work/hand.pdf" \
      "file://$work/page.html"
    rm -rf "$profile"
  }
  report "HTML -> PDF" "$(timed page.pdf "$bin/scrivex" -i page.html -o page.pdf)" \
    "$(timed hand.pdf hand_html)"
else
  echo "HTML -> PDF      skipped: no chromium"
fi
