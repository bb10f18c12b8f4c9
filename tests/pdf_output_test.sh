#!/usr/bin/env bash
# PDF output through the program: document information, -p 1/2/3 against an
# existing PDF, and a list file gathered into one PDF.
. "$(dirname "$0")/lib.sh"
bin=$BIN work=$WORK
pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }
# The width in points of page N, which tells the sources apart.
width() { pdfinfo -f "$2" -l "$2" "$1" 2>/dev/null | awk '/^Page.*size:/ {print int($4); exit}'; }
export -f pages width
mkpdf() {  # mkpdf <file> <width> <pages>
  gs -q -sDEVICE=pdfwrite -o "$1" -c "<</PageSize [$2 300]>> setpagedevice 1 1 $3 { pop showpage } for"
}
mkpdf a.pdf 200 2
mkpdf b.pdf 300 1
mkpdf c.pdf 400 3

"$bin/scrivex" -i a.pdf -o info.pdf -t "Tïtle – ünïcode" -a "Ann" -j "Subj" -k "k1, k2" </dev/null >out.txt
check "info: converted" grep -q "result = Successful" out.txt
info=$(pdfinfo info.pdf)
check "info: title" grep -q "^Title: *Tïtle – ünïcode$" <<<"$info"
check "info: author, subject, keywords" bash -c 'grep -q "^Author: *Ann$" <<<"$0" && grep -q "^Subject: *Subj$" <<<"$0" && grep -q "^Keywords: *k1, k2$" <<<"$0"' "$info"

# Texts reach the PDF exactly as typed: quotes, a trailing backslash, an option.
"$bin/scrivex" -i a.pdf -o quoted.pdf -t 'The "Best" Report\' -a '-o /etc/passwd' </dev/null >out.txt 2>err.txt
check "quotes and backslashes reach the PDF as typed" bash -c 'pdfinfo quoted.pdf | grep -qxF "Title:           The \"Best\" Report\\" && pdfinfo quoted.pdf | grep -qx "Author: *-o /etc/passwd"'

cp a.pdf book.pdf
"$bin/scrivex" -p 2 -i b.pdf -o book.pdf -t "Title" </dev/null >out.txt
check "-p 2 appends" bash -c '[ "$(pages book.pdf)" = 3 ] && [ "$(width book.pdf 3)" = 300 ]'
check "-p 2 sets the title of the joined file" bash -c 'pdfinfo book.pdf | grep -qx "Title: *Title"'
"$bin/scrivex" -p 1 -i c.pdf -o book.pdf -t Joined -a Ann </dev/null >out.txt
check "-p 1 inserts before the first page" bash -c '[ "$(pages book.pdf)" = 6 ] && [ "$(width book.pdf 1)" = 400 ] && [ "$(width book.pdf 4)" = 200 ]'
check "-p 1 sets the information of the joined file" bash -c 'pdfinfo book.pdf | grep -qx "Title: *Joined" && pdfinfo book.pdf | grep -qx "Author: *Ann"'
check "no temporary files left" bash -c '[ -z "$(ls -A "$TMPDIR")" ] && [ -z "$(ls -A "$0" | grep -E "\.tmp")" ]' "$work"

printf '%s\n%s\n%s\n' "$work/a.pdf" "$work/b.pdf" "$work/c.pdf" > all.lst
cp a.pdf gathered.pdf
"$bin/scrivex" -i all.lst -o gathered.pdf </dev/null >out.txt
check "list file gathers every entry into one PDF, in order" bash -c '[ "$(pages gathered.pdf)" = 6 ] && [ "$(width gathered.pdf 1)" = 200 ] && [ "$(width gathered.pdf 3)" = 300 ] && [ "$(width gathered.pdf 6)" = 400 ]'

finish pdf_output_test
