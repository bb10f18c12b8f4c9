#!/usr/bin/env bash
# The virtual printers end to end: printer-admin prints a PDF stream to each
# printer, the real drivers write the files their settings ask for and
# announce them.
. "$(dirname "$0")/lib.sh"
ADMIN=$BIN/printer-admin
ini=$SCRIVEX_HOME/inkwell.ini

gs -q -sDEVICE=pdfwrite -o stream.pdf -c \
  "<</PageSize [300 200]>> setpagedevice 1 1 3 { 20 100 moveto /Helvetica findfont 30 scalefont setfont (Page) show showpage } for"

check "both printers, the creator the default" bash -c "'$ADMIN' list >list.txt &&
  grep -qx 'Brindle Converter and Creator (default)' list.txt && grep -qx 'Inkwell' list.txt"

# inkwell OUTPUT [KEY=VALUE...]: the settings a hand-off writes, then a print.
inkwell() {
  local output=$1 kv
  shift
  printf '[AutoSave]\nIsAutoSave=1\nOutputFile=%s\nFinishedMessageType=FileMapping\n[AutoSaveOptions]\n' \
    "$WORK/$output" >"$ini"
  for kv in "$@"; do printf '%s\n' "$kv" >>"$ini"; done
  "$ADMIN" print Inkwell stream.pdf >out.txt 2>err.txt
}
check "G4 TIFF: 3 pages, announced" eval 'inkwell g4.tif ".tif=-compress Group4 -density 100x100" m_strColorDepth=1 &&
  grep -qx "Page 1: $WORK/g4.tif" out.txt && [ "$(tiffinfo g4.tif 2>/dev/null | grep -c "Scheme: CCITT Group 4")" = 3 ]'
check "PNG pages, announced in order" eval 'inkwell p.png m_strResolution=30x30 &&
  grep -qx "Page 3: $WORK/p_0003.png" out.txt && [ "$(identify -format "%m" p_0002.png)" = PNG ]'
check "PDF: the stream itself" eval 'inkwell same.pdf && cmp -s same.pdf stream.pdf'
check "EMF: one metafile a page" eval 'inkwell m.emf && grep -qx "Page 3: $WORK/m_0003.emf" out.txt &&
  [ "$(head -c 44 m_0002.emf | tail -c 4)" = " EMF" ]'
check "a settings change shows" eval '"$ADMIN" set Inkwell paper=9 dpi=600 && "$ADMIN" list | grep -q "paper 9, 600 dpi"'

# The creator printer writes nothing unless the program prepared the print.
"$ADMIN" print "brindle converter and creator" stream.pdf >out.txt 2>err.txt
rc=$?
check "creator without a prepared print: fails, says why" eval '[ $rc = 1 ] && grep -q "failed" err.txt'

finish printers_test
