#!/usr/bin/env bash
# The printing road from the command line: the route chosen by the input's
# type, what the driver announced as the only result, and the printers left
# as they were.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
pages() { # pages FILE N: a PDF of N landscape pages
  gs -q -sDEVICE=pdfwrite -o "$1" -c "<</PageSize [300 200]>> setpagedevice 1 1 $2 { 20 100 moveto /Helvetica findfont 30 scalefont setfont (Page) show showpage } for"
}
pages two.pdf 2
pages one.pdf 1

"$S" -i two.pdf -o m.emf >out.txt 2>err.txt
check "a PDF prints to EMF pages, each announced" eval 'grep -q "result = Successful" out.txt &&
  grep -qx "Page 2: $WORK/m_0002.emf" out.txt && [ "$(head -c 44 m_0001.emf | tail -c 4)" = " EMF" ]'

# -G: the lone page this job announced takes the output's name over an old
# output; another file that the output's name pattern matches stays put.
echo old >w.wmf
echo notes >w-notes.wmf
"$S" -i one.pdf -o w.wmf -G >out.txt 2>err.txt
check "-G: the lone announced page replaces the old output" eval 'grep -q "result = Successful" out.txt &&
  [ "$(od -An -tx1 -N4 w.wmf | tr -d " ")" = d7cdc69a ] && [ ! -e w_0001.wmf ] && [ "$(cat w-notes.wmf)" = notes ]'

# The drivers find the image converter of the program directory they live in.
printf 'one line\n' >t.txt
"$S" -i t.txt -o g.gif >out.txt 2>err.txt
check "text to GIF pages through the driver's image converter" eval 'grep -q "result = Successful" out.txt &&
  [ "$(identify -format %m g_0001.gif)" = GIF ]'

head -c 3000 /dev/urandom >junk.dwg
"$S" -i junk.dwg -o junk.pdf >out.txt 2>err.txt
check "a type nobody prints fails at once and says so" eval 'grep -q "result = Failed" out.txt &&
  grep -q "no application is registered to print \".dwg\" files" err.txt && [ ! -e junk.pdf ]'

check "the default printer and the drivers' automatic saving are as before" eval '
  "$BIN/printer-admin" list | grep -qx "Brindle Converter and Creator (default)" &&
  grep -qx "IsAutoSave=0" "$SCRIVEX_HOME/inkwell.ini"'

# -f gives exactly the paper asked for, in inches and in points, on both printers.
printf 'A short note\n' >note.txt
"$S" -i note.txt -o tall.pdf -f 11x17in >out.txt 2>&1
"$S" -e -i note.txt -o letter.pdf -f 612x792pt >>out.txt 2>&1
"$S" -e -i note.txt -o metric.pdf -f 210x297mm >>out.txt 2>&1
check "-f 11x17in, 612x792pt and 210x297mm on text pages" eval '
  pdfinfo tall.pdf | grep -q "792 x 1224 pts" && pdfinfo letter.pdf | grep -q "612 x 792 pts" &&
  pdfinfo metric.pdf | grep -q "595.276 x 841.89 pts"'

# Empty files fail before any application starts; an earlier output stays.
for type in docx doc odt xlsx xls pptx txt html; do
  : >"empty.$type"
  echo old >"empty-$type.pdf"
  "$S" -i "empty.$type" -o "empty-$type.pdf" >out.txt 2>err.txt
  check "an empty .$type fails: the file is empty" eval 'grep -q "result = Failed" out.txt &&
    grep -qx "$WORK/empty.$type: the file is empty" err.txt && [ "$(cat empty-$type.pdf)" = old ]'
done

finish print_document_test
