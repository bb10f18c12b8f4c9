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

# -G with two pages: nothing is lone, every page keeps its number.
"$S" -i two.pdf -o gg.emf -G >out.txt 2>err.txt
check "-G on two pages: both numbered pages, no file under the bare name" eval '
  grep -q "result = Successful" out.txt && [ -s gg_0001.emf ] && [ -s gg_0002.emf ] && [ ! -e gg.emf ]'

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

# The creator printer's automatic output is off once a run ends: another
# print to it must not write over this run's output.
cp tall.pdf tall.kept
pages other.pdf 3
"$BIN/printer-admin" print "Brindle Converter and Creator" other.pdf >/dev/null 2>&1
check "a later print to the creator printer leaves the run's output alone" eval '
  grep -qx "\"AutomaticOutput\"=dword:00000000" "$SCRIVEX_HOME/user.reg" && cmp -s tall.pdf tall.kept'

# The creator's encryption settings: what its "Permission" allows stays
# allowed, the rest is denied (128-bit key for "EncryBits" 16).
reg=$SCRIVEX_HOME/user.reg
cp "$reg" user.reg.kept
sed -i 's/^"Encryption"=dword:.*/"Encryption"=dword:00000001/; s/^"EncryBits"=dword:.*/"EncryBits"=dword:00000010/;
  s/^"Permission"=dword:.*/"Permission"=dword:00000014/; s/^"OwnerPass"=.*/"OwnerPass"="boss"/' "$reg"
"$S" -i note.txt -o locked.pdf >out.txt 2>&1
check "the creator's permissions reach the PDF as they were set" eval '
  qpdf --show-encryption --password=boss locked.pdf >enc.txt 2>&1 && grep -q "R = 3" enc.txt &&
  grep -q "print low resolution: allowed" enc.txt && grep -q "print high resolution: not allowed" enc.txt &&
  grep -q "extract for any purpose: allowed" enc.txt && grep -q "modify other: not allowed" enc.txt'
cp user.reg.kept "$reg"

# Empty files fail before any application starts; an earlier output stays.
for type in docx doc odt xlsx xls pptx txt html; do
  : >"empty.$type"
  echo old >"empty-$type.pdf"
  "$S" -i "empty.$type" -o "empty-$type.pdf" >out.txt 2>err.txt
  check "an empty .$type fails: the file is empty" eval 'grep -q "result = Failed" out.txt &&
    grep -qx "$WORK/empty.$type: the file is empty" err.txt && [ "$(cat empty-$type.pdf)" = old ]'
done

finish print_document_test
