#!/usr/bin/env bash
# An office that dies over a document: the document is converted once more by
# the office's own command-line converter, and its PDF printed as asked. The
# office is a stand-in first on PATH: the real office, killed as soon as it
# holds a .doc, .ppt or .docx open, and a converter that makes a PDF of three
# pages with Ghostscript (or none once the file "fails" lies beside it).
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex

# flat KIND BODY NAME.EXT: the real office converts a flat ODF document.
flat() {
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<office:document
 xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.%s"><office:body>%s</office:body></office:document>\n' \
    "$1" "$2" >"${3%.*}.fod${1:0:1}"
  soffice --headless "-env:UserInstallation=file://$WORK/maker" --convert-to "${3##*.}" \
    "${3%.*}.fod${1:0:1}" >/dev/null 2>&1
}
flat text "<office:text><text:p>Lost to the office</text:p></office:text>" crash.doc
flat text "<office:text><text:p>Lost to the office</text:p></office:text>" crash.docx
flat presentation '<office:presentation><draw:page draw:name="p1"><draw:frame svg:x="2cm" svg:y="2cm"
 svg:width="12cm" svg:height="3cm"><draw:text-box><text:p>Lost slide</text:p></draw:text-box>
 </draw:frame></draw:page></office:presentation>' crash.ppt
# The same bytes every run: a random file could now and then read as something.
python3 -c 'import random; r = random.Random(20)
open("junk.rtf", "wb").write(bytes(r.randrange(256) for _ in range(3000)))'

FAKE=$WORK/fake
mkdir -p "$FAKE/program" "$FAKE/bin"
ln -s ../program/soffice "$FAKE/bin/soffice"
cat >"$FAKE/program/soffice.bin" <<'EOF'
#!/bin/bash
/usr/lib/libreoffice/program/soffice.bin "$@" &
office=$!
while kill -0 $office 2>/dev/null; do
  if ls -l /proc/$office/fd 2>/dev/null | grep -Eq '\.(doc|docx|ppt)$'; then kill -9 $office; fi
  sleep 0.005
done
wait $office
EOF
cat >"$FAKE/program/soffice" <<'EOF'
#!/bin/bash
# Only as a converter: --convert-to pdf --outdir DIR FILE.
here=$(dirname "$(readlink -f "$0")")
outdir= file= convert=
while [ $# -gt 0 ]; do
  case $1 in
    --outdir) outdir=$2; shift ;;
    --convert-to) convert=$2; shift ;;
    -*) ;;
    *) file=$1 ;;
  esac
  shift
done
[ "$convert" = pdf ] && [ -n "$outdir" ] && [ -f "$file" ] || exit 2
echo "convert $file" >&2
[ -e "$here/../fails" ] && exit 0 # no PDF, and an exit code that says nothing
name=$(basename "$file")
mkdir -p "$outdir"
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$outdir/${name%.*}.pdf" -c '
  /Helvetica findfont 30 scalefont setfont
  1 1 3 { 72 700 moveto (Rescued page ) show 3 string cvs show showpage } for'
EOF
chmod +x "$FAKE/program/soffice" "$FAKE/program/soffice.bin"
export PATH=$FAKE/bin:$PATH

# Its exit code is the last result (1 for success): the result line says it.
run() { "$S" "$@" >out.txt 2>err.txt || true; }
ok() { run "$@" && grep -q "result = Successful" out.txt; }
text() { pdftotext "$1" - 2>/dev/null | tr '\n' ' '; }
npages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }

echo old >kept.pdf
check "Word: the office dies while printing; the converter's three pages replace the old output" eval '
  SCRIVEX_TRACE=1 ok -i crash.doc -o kept.pdf && [ "$(npages kept.pdf)" = 3 ] &&
  [[ "$(text kept.pdf)" == *"Rescued page 1"*"Rescued page 3"* ]] &&
  grep -q "crash.doc: the office stopped while it had the file open (the office died while it tried to print crash.doc" err.txt &&
  grep -q "converted again with the office.s own converter" err.txt'
check "Word -g 2-3 and PowerPoint -g 2 (the office dies opening it) print those pages" eval '
  ok -i crash.doc -o range.pdf -g 2-3 && [ "$(npages range.pdf)" = 2 ] &&
  [[ "$(text range.pdf)" == "Rescued page 2 "*"Rescued page 3"* ]] &&
  ok -i crash.ppt -o slide.pdf -g 2 && [ "$(npages slide.pdf)" = 1 ] &&
  [[ "$(text slide.pdf)" == "Rescued page 2"* ]]'
check "a TIFF output takes the pages the converter made" eval '
  ok -i crash.doc -o pages.tif && [ "$(tiffinfo pages.tif 2>/dev/null | grep -c "^TIFF Directory")" = 3 ]'
check "a document the office refuses is not tried again" eval '
  run -i junk.rtf -o junk.pdf && grep -q "result = Failed" out.txt && [ ! -e junk.pdf ] &&
  grep -q "junk.rtf: .*not a readable document" err.txt && ! grep -q "own converter" err.txt ||
  { cat err.txt; false; }'

touch "$FAKE/fails"
check "the converter fails too: Failed, both reasons, the old output kept" eval '
  run -i crash.doc -o kept.pdf && grep -q "result = Failed" out.txt && [ "$(npages kept.pdf)" = 3 ] &&
  grep -q "the office died while it tried to print crash.doc" err.txt &&
  grep -q "own converter failed too: the office.s converter wrote no PDF" err.txt'
rm "$FAKE/fails"

# The shell's print helper (other office types) retries the same way.
SCRIVEX_HOME=$SCRIVEX_HOME "$BIN/printer-admin" default Inkwell >/dev/null
printf '[AutoSave]\nIsAutoSave=1\nOutputFile=%s\nFinishedMessageType=FileMapping\n[AutoSaveOptions]\n' \
  "$WORK/helper.pdf" >"$SCRIVEX_HOME/inkwell.ini"
check "the print helper: a .docx the office dies over prints the converter's pages" eval '
  "$BIN/print-helper" crash.docx 2>err.txt && [ "$(npages helper.pdf)" = 3 ]'

check "no office is left running" eval '! pgrep -f "$TMPDIR" >/dev/null'
finish office_retry_test
