#!/bin/bash
# Finishing TIFF outputs with the scrivex program: fax and PackBits re-encoding
# after Ghostscript rendering, and blank-page removal (-m), checked with tiffinfo.
set -u
BIN=${SCRIVEX_BIN:?SCRIVEX_BIN must name the bin directory of a build}
SCRIVEX=$BIN/scrivex
for tool in gs tiffinfo; do
  command -v $tool >/dev/null || { echo "missing $tool"; exit 1; }
done
[ -x "$SCRIVEX" ] || { echo "missing $SCRIVEX"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SCRIVEX_HOME=$work/home TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/out"
out=$work/out
failures=0
pass=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    pass=$((pass + 1))
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}
equals() { [ "$1" = "$2" ] || { echo "  got '$1', want '$2'"; return 1; }; }
contains() { [[ $1 == *"$2"* ]] || { echo "  '$2' not in: $1"; return 1; }; }
pages() { tiffinfo "$1" 2>/dev/null | grep -c '^TIFF Directory'; }
# Distinct size, coding and resolution lines over every page, joined by "|".
tags() {
  tiffinfo "$1" 2>/dev/null | grep -E 'Image Width|Compression Scheme|Resolution:' |
    sed 's/^ *//' | sort -u | paste -sd'|'
}
decodes() { tiffinfo -D "$1" >/dev/null 2>&1; }

# Letter pages: text, empty, a few tiny dots, text.
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/four.pdf" -c \
  "<< /PageSize [612 792] >> setpagedevice \
   /text { /Helvetica findfont 14 scalefont setfont 600 -20 100 { 72 exch moveto \
     (The quick brown fox jumps over the lazy dog again and again.) show } for } def \
   text showpage showpage \
   5 { rand 400 mod 100 add rand 500 mod 150 add 0.6 0 360 arc fill } repeat showpage \
   text showpage"

# Fax code 88881: 1275 x 1650 pages at 150 dpi become 1728 x 2236 at 204 x 196, Group 4.
# (At 200 dpi gs itself would already widen 1700 pixels to the fax width.)
log=$("$SCRIVEX" -i "$work/four.pdf" -o "$out/fax.tif" -b 1 -c 88881 -r 150 2>&1)
check "fax conversion reports success" contains "$log" "result = Successful"
check "fax pages" equals "$(pages "$out/fax.tif")" 4
check "fax tags" equals "$(tags "$out/fax.tif")" "Compression Scheme: CCITT Group 4|\
Image Width: 1728 Image Length: 2236|Resolution: 204, 196 pixels/inch"
check "fax pages decode" decodes "$out/fax.tif"

# PackBits keeps every page under the same name and leaves no temporary file.
log=$("$SCRIVEX" -i "$work/four.pdf" -o "$out/pack.tif" -b 1 -c 32773 -r 100 2>&1)
check "packbits conversion reports success" contains "$log" "result = Successful"
check "packbits pages" equals "$(pages "$out/pack.tif")" 4
check "packbits coding" equals "$(tags "$out/pack.tif" | cut -d'|' -f1)" "Compression Scheme: PackBits"
check "packbits pages decode" decodes "$out/pack.tif"
check "no temporary files left" equals "$(ls "$out" | grep -v -x -e fax.tif -e pack.tif)" ""

# -m: the empty page and the page of dots go, the two text pages stay.
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=tiffg4 -r150 -sOutputFile="$work/scan.tif" "$work/four.pdf"
cp "$work/scan.tif" "$work/scan-copy.tif"
log=$("$SCRIVEX" -i "$work/scan.tif" -o "$out/kept.tif" -m 2>&1)
check "blank removal reports success" contains "$log" "result = Successful"
check "blank and speck page lines" contains "$log" "Page(2), Black points are 0.00, Blank page = Yes
Page(3), Black points are 0.00, Blank page = Yes"
check "two pages kept" equals "$(pages "$out/kept.tif")" 2
check "kept pages decode" decodes "$out/kept.tif"
check "input untouched" cmp -s "$work/scan.tif" "$work/scan-copy.tif"

# Every page blank: nothing is written and the run does not claim success.
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=tiffg4 -r100 -dFirstPage=2 -dLastPage=3 \
  -sOutputFile="$work/blank.tif" "$work/four.pdf"
log=$("$SCRIVEX" -i "$work/blank.tif" -o "$out/none.tif" -m 2>&1)
check "all blank is not a success" bash -c '[[ "$0" != *"result = Successful"* ]]' "$log"
check "all blank message" contains "$log" "is blank: no output written"
check "all blank writes nothing" test ! -e "$out/none.tif"

# A damaged TIFF gives an error, not a crash, and no output; so does one cut
# before its last pages' directories (no page may be dropped silently).
size=$(stat -c %s "$work/scan.tif")
head -c $((size - 4000)) "$work/scan.tif" >"$work/damaged.tif"
head -c $((size / 2)) "$work/scan.tif" >"$work/half.tif"
for name in damaged half; do
  log=$("$SCRIVEX" -i "$work/$name.tif" -o "$out/$name.tif" -m 2>&1)
  check "$name input exits without a signal" test $? -lt 128
  check "$name input is reported" contains "$log" "error loading $work/$name.tif"
  check "$name input writes nothing" test ! -e "$out/$name.tif"
done

echo "tiff_finish: $pass passed, $failures failed"
[ $failures -eq 0 ]
