#!/bin/bash
# The PDF tools program (tools.cfg) on real files: the two command lines the
# converter gives it, damaged inputs and document information.
. "$(dirname "$0")/lib.sh"
TOOL="$BIN/tools.cfg"

# make_pdf <file> <size> <pages>: square pages of <size> points.
make_pdf() {
  local shows=""
  for ((i = 0; i < $3; i++)); do shows+=" showpage"; done
  gs -q -sDEVICE=pdfwrite -o "$1" -c "<</PageSize [$2 $2]>> setpagedevice$shows" ||
    { echo "cannot make $1 with gs"; exit 1; }
}

# expect_sizes <file> <w,w,...> <what>: page widths from pdfinfo.
expect_sizes() {
  local got
  got=$(pdfinfo -f 1 -l 999 "$1" 2>/dev/null |
    awk '/^Page +[0-9]+ size:/ {printf "%s%s", s, $4; s=","}')
  [ "$got" = "$2" ] || fail "$3: pages $got, expected $2"
}

[ -x "$TOOL" ] || { echo "FAIL: $TOOL is missing"; exit 1; }

make_pdf existing.pdf 200 2
make_pdf new.pdf 300 1
make_pdf more.pdf 400 3

# Insert before the first page (the argument the converter builds for -p 1).
"$TOOL" -i "$WORK/existing.pdf" "-*" "1|0|$WORK/new.pdf" || fail "insert exited $?"
expect_sizes existing.pdf "300,200,200" "insert"
qpdf --check existing.pdf >/dev/null 2>&1 || fail "insert: qpdf --check reports problems"

# Append after the last page (-p 2), through a path with blanks.
mkdir -p "dir with blanks"
cp more.pdf "dir with blanks/more file.pdf"
"$TOOL" -i "$WORK/existing.pdf" "-*" "$WORK/dir with blanks/more file.pdf" || fail "append exited $?"
expect_sizes existing.pdf "300,200,200,400,400,400" "append"
[ -z "$(find . -name '.*.tmp')" ] && [ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left behind"

# A damaged existing PDF: the tool fails with one line.
head -c 700 existing.pdf >damaged.pdf
"$TOOL" -i "$WORK/damaged.pdf" "-*" "$WORK/new.pdf" 2>err.txt && fail "damaged existing PDF: exit 0"
[ "$(wc -l <err.txt)" -eq 1 ] || fail "damaged existing PDF: message is not one line: $(cat err.txt)"

# Document information in place, as the converter asks for it.
title="Größe \"Quartal\" – 'Bericht'"
author="Zoë Ørsted"
"$TOOL" -i "$WORK/existing.pdf" -o "$WORK/existing.pdf" -t "$title" -a "$author" -s "" -k "k1, k2" ||
  fail "information exited $?"
info=$(pdfinfo existing.pdf)
grep -qxF "Title:           $title" <<<"$info" || fail "title not written: $(grep Title <<<"$info")"
grep -qxF "Author:          $author" <<<"$info" || fail "author not written"
grep -q "^Producer:.*Ghostscript" <<<"$info" || fail "producer entry lost"
grep -q "^Subject:" <<<"$info" && fail "empty subject was written"
pdfinfo -meta existing.pdf | grep -q Untitled && fail "a stale XMP title is left beside the new one"

finish pdf_tool_test
