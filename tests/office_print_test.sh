#!/usr/bin/env bash
# The shell print helper end to end: office documents through the office
# bridge and PostScript through Ghostscript, printed on the default printer
# (Inkwell, whose ini file says where its output goes).
. "$(dirname "$0")/lib.sh"
HELPER=$BIN/print-helper

# document TEXT NAME.EXT: a text document made by the office from flat ODF.
document() {
  printf '<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.text">
 <office:body><office:text><text:p>%s</text:p></office:text></office:body></office:document>\n' \
    "$1" >"${2%.*}.fodt"
  soffice --headless "-env:UserInstallation=file://$WORK/office" --convert-to "${2##*.}" \
    "${2%.*}.fodt" >/dev/null 2>&1
}
document "Printed from Word format" doc.docx
document "Printed from ODF" doc.odt
head -c 1500 doc.docx >damaged.docx
printf '%%!PS\n/Helvetica findfont 30 scalefont setfont\n72 700 moveto (One) show showpage
72 700 moveto (Two) show showpage\n' >pages.ps

# inkwell HOME OUTPUT: the Inkwell printer of state root HOME is the default
# and writes its next print to OUTPUT.
inkwell() {
  mkdir -p "$1"
  SCRIVEX_HOME=$1 "$BIN/printer-admin" default Inkwell >/dev/null
  printf '[AutoSave]\nIsAutoSave=1\nOutputFile=%s\nFinishedMessageType=FileMapping\n[AutoSaveOptions]\n' \
    "$WORK/$2" >"$1/inkwell.ini"
}
has_text() { pdftotext "$1" - 2>/dev/null | grep -q "$2"; }

check "a .docx prints as a PDF with its text" eval 'inkwell "$SCRIVEX_HOME" docx.pdf &&
  "$HELPER" doc.docx && has_text docx.pdf "Printed from Word format"'
check "PostScript prints as one EMF a page" eval 'inkwell "$SCRIVEX_HOME" ps.emf &&
  "$HELPER" pages.ps && [ "$(head -c 44 ps_0002.emf | tail -c 4)" = " EMF" ] && [ ! -e ps_0003.emf ]'
inkwell "$SCRIVEX_HOME" damaged.pdf
"$HELPER" damaged.docx 2>err.txt
rc=$?
check "a damaged .docx fails, says why and prints nothing" eval '[ $rc = 1 ] &&
  grep -q "^print-helper: .*damaged.docx: the office could not" err.txt && [ ! -e damaged.pdf ]'

# Two runs at once, each with its own printers: each office has a profile
# of its own, so neither hands its document to the other.
inkwell "$WORK/home2" odt.pdf
inkwell "$SCRIVEX_HOME" both.pdf
"$HELPER" doc.docx & first=$!
SCRIVEX_HOME=$WORK/home2 "$HELPER" doc.odt & second=$!
check "two helpers at once both print" eval 'wait $first && wait $second &&
  has_text both.pdf "Printed from Word format" && has_text odt.pdf "Printed from ODF"'
# The program prints them through the shell's "print" verb.
for type in docx odt; do
  check "scrivex -i doc.$type -o $type-out.pdf" eval '"$BIN/scrivex" -i doc.$type -o $type-out.pdf |
    grep -q "result = Successful" && has_text $type-out.pdf "Printed from"'
done
check "no office and no profile left behind" eval '! pgrep -f "$TMPDIR" >/dev/null &&
  [ -z "$(ls -A "$TMPDIR")" ]'

finish office_print_test
