#!/bin/bash
# End-to-end checks of the page selector program: real PostScript in, pages
# checked by rendering the output with Ghostscript.
. "$(dirname "$0")/lib.sh"
PSSELECT="$BIN/psselect"

# The text shown on each page of a PostScript file, one word per page.
page_texts() {
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=txtwrite -sOutputFile=- "$1" 2>/dev/null | tr -d '\r' | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}
page_count() {
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox "$1" 2>&1 | grep -c '^%%BoundingBox'
}
expect_pages() {  # <file> <expected texts> <what>
  local got
  got=$(page_texts "$1")
  [ "$got" = "$2" ] || fail "$3: pages '$got', expected '$2'"
}

# Six pages showing P1..P6, made by Ghostscript's PostScript writer.
cat > make.ps <<'PS'
%!PS
1 1 6 { /n exch def /Helvetica findfont 40 scalefont setfont
  100 400 moveto (P) show n 10 string cvs show showpage } for
PS
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ps2write -sOutputFile=six.ps make.ps || { echo "gs failed"; exit 1; }
expect_pages six.ps "P1 P2 P3 P4 P5 P6" "input"

"$PSSELECT" -q -p2-4 six.ps out.ps; rc=$?
[ $rc -eq 0 ] || fail "-p2-4 exit $rc"
expect_pages out.ps "P2 P3 P4" "-p2-4"
grep -a '^%%Page:' out.ps | awk '{print $3}' | tr '\n' ' ' | grep -q '^1 2 3 $' || fail "-p2-4: pages not renumbered"

"$PSSELECT" -q -p1,_,2 six.ps out.ps && [ "$(page_count out.ps)" = 3 ] || fail "empty page not rendered"

# A pipe in, standard output out: the input is copied to a temporary file,
# which does not stay behind.
cat six.ps | "$PSSELECT" -q -p_2- > piped.ps; rc=$?
[ $rc -eq 0 ] || fail "pipe exit $rc"
expect_pages piped.ps "P5 P6" "pipe input"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left: $(ls -A "$TMPDIR")"
"$PSSELECT" -q -p1 < six.ps > redirected.ps && expect_pages redirected.ps "P1" "file on stdin"

# A fatal error ends the program with status 1 and says why.
printf '%%!PS-Adobe-3.0\n%%%%EndComments\n%%%%Page: (open 1\nshowpage\n' > badlabel.ps
echo keep > kept.ps
msg=$("$PSSELECT" -q -p1 badlabel.ps kept.ps 2>&1); rc=$?
[ $rc -eq 1 ] || fail "bad label: exit $rc, expected 1"
[ "$msg" = "$PSSELECT: Bad page label while seeking page 0" ] || fail "bad label: message '$msg'"

finish psselect_test
