#!/usr/bin/env bash
# The text printer end to end: notepad.exe /p prints a text file on the
# default printer, on its paper, and its driver writes the PDF.
. "$(dirname "$0")/lib.sh"
ADMIN=$BIN/printer-admin
"$ADMIN" default Inkwell

# text OUTPUT FILE: the settings a hand-off writes, then the print.
text() {
  printf '[AutoSave]\nIsAutoSave=1\nOutputFile=%s\n' "$WORK/$1" >"$SCRIVEX_HOME/inkwell.ini"
  "$BIN/windows/system32/notepad.exe" /p "$2" 2>err.txt
}
pages() { pdfinfo "$1" | awk '/^Pages:/ { print $2 }'; }

printf '\xef\xbb\xbfGr\xc3\xbc\xc3\x9fe, \xcf\x84\xce\xb1\xcf\x87\xcf\x8d, \xe6\x9d\xb1\xe4\xba\xac\r\nbad \xff\tbyte\n' >utf8.txt
check "UTF-8 text, a bad byte and a tab come back out of the PDF" eval 'text u.pdf utf8.txt &&
  pdftotext -layout u.pdf - >u.txt && grep -qx "Grüße, ταχύ, 東京" u.txt && grep -qx "bad �   byte" u.txt'
seq -f "line %g" 300 >long.txt
check "a long text: several Letter pages, every line" eval 'text l.pdf long.txt && [ "$(pages l.pdf)" -ge 4 ] &&
  pdfinfo l.pdf | grep -q "612 x 792" && [ "$(pdftotext l.pdf - | grep -c "line [0-9]")" = 300 ]'
: >empty.txt
check "A4 from the printer's settings; an empty file is one blank page" eval '"$ADMIN" set Inkwell paper=9 &&
  text e.pdf empty.txt && [ "$(pages e.pdf)" = 1 ] && pdfinfo e.pdf | grep -q "595.276 x 841.89"'

# CR LF ends a line as LF does: the same layout, never a blank line between.
sed 's/$/\r/' long.txt >crlf.txt
check "CR LF text lays out exactly as LF text" eval 'text lf.pdf long.txt && text crlf.pdf crlf.txt &&
  [ "$(pdftotext -layout lf.pdf -)" = "$(pdftotext -layout crlf.pdf -)" ]'
check "a missing file fails and says why" eval '! text m.pdf missing.txt && grep -q missing.txt err.txt && [ ! -e m.pdf ]'
"$BIN/windows/system32/notepad.exe" 2>/dev/null
check "a wrong command line: exit 2" [ $? = 2 ]
"$ADMIN" default "Brindle Converter and Creator"
check "a job the printer refuses fails" eval '! text c.pdf long.txt && [ -s err.txt ]'

check "no print stream or other file is left in TMPDIR" eval '[ -z "$(ls -A "$TMPDIR")" ]'

finish text_image_print_test
