#!/bin/bash
# End-to-end checks of the page selector program: real PostScript in, pages
# checked by rendering the output with Ghostscript.
set -u
BIN=${SCRIVEX_BIN:?SCRIVEX_BIN must name the bin directory of a build}
PSSELECT="$BIN/psselect"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export SCRIVEX_HOME="$WORK/home" TMPDIR="$WORK/tmp"
mkdir -p "$SCRIVEX_HOME" "$TMPDIR"
cd "$WORK" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

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
grep -aq '^%%Pages: 3 0$' out.ps || fail "-p2-4: no corrected %%Pages: line"
grep -a '^%%Page:' out.ps | awk '{print $3}' | tr '\n' ' ' | grep -q '^1 2 3 $' || fail "-p2-4: pages not renumbered"

"$PSSELECT" -q -r -p1-3,5 six.ps out.ps && expect_pages out.ps "P5 P3 P2 P1" "-r -p1-3,5"
"$PSSELECT" -q -e six.ps out.ps && expect_pages out.ps "P2 P4 P6" "-e"
"$PSSELECT" -q -o -p3- six.ps out.ps && expect_pages out.ps "P3 P5" "-o -p3-"
"$PSSELECT" -q _3-_1 six.ps out.ps && expect_pages out.ps "P4 P5 P6" "_3-_1 as first argument"
"$PSSELECT" -q 5-3 six.ps out.ps && expect_pages out.ps "P5 P4 P3" "5-3"
"$PSSELECT" -q -p8- six.ps out.ps && [ "$(page_count out.ps)" = 0 ] || fail "-p8-: pages written"
"$PSSELECT" -q -p1,_,2 six.ps out.ps && [ "$(page_count out.ps)" = 3 ] || fail "empty page not rendered"
expect_pages out.ps "P1 P2" "-p1,_,2 texts"

# Progress messages on standard error.
msg=$("$PSSELECT" -p2,3 six.ps out.ps 2>&1 >/dev/null)
size=$(stat -c %s out.ps)
[ "$msg" = "[2][3]Wrote 2 pages, $size bytes" ] || fail "progress messages: '$msg'"

# A pipe in, standard output out: the input is copied to a temporary file,
# which does not stay behind.
cat six.ps | "$PSSELECT" -q -p_2- > piped.ps; rc=$?
[ $rc -eq 0 ] || fail "pipe exit $rc"
expect_pages piped.ps "P5 P6" "pipe input"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left: $(ls -A "$TMPDIR")"
"$PSSELECT" -q -p1 < six.ps > redirected.ps && expect_pages redirected.ps "P1" "file on stdin"

# Fatal errors end the program with status 1 and leave no output.
check_fatal() {  # <expected message> <args...>
  local want=$1; shift
  rm -f bad.ps
  msg=$("$PSSELECT" "$@" 2>&1); rc=$?
  [ $rc -eq 1 ] || fail "$*: exit $rc, expected 1"
  [ "$msg" = "$want" ] || fail "$*: message '$msg', expected '$want'"
  [ ! -e bad.ps ] || fail "$*: output left behind"
}
check_fatal "$PSSELECT: invalid page range" -p1-2-3 six.ps bad.ps
check_fatal "$PSSELECT: invalid page range" a six.ps bad.ps
check_fatal "$PSSELECT: invalid page range" -p six.ps bad.ps
check_fatal "$PSSELECT: can't open input file missing.ps" -p1 missing.ps bad.ps
check_fatal "$PSSELECT: can't open output file nodir/bad.ps" -p1 six.ps nodir/bad.ps
usage="$PSSELECT release 1 patchlevel 17
Usage: $PSSELECT [-q] [-e] [-o] [-r] [-p<pages>] [infile [outfile]]"
check_fatal "$usage" -x six.ps bad.ps
check_fatal "$usage" -p1 six.ps bad.ps surplus
printf '%%!PS-Adobe-3.0\n%%%%EndComments\n%%%%Page: (open 1\nshowpage\n' > badlabel.ps
check_fatal "$PSSELECT: Bad page label while seeking page 0" -q -p1 badlabel.ps bad.ps
# A failed run never destroys an existing output.
echo keep > kept.ps
"$PSSELECT" -q -p1-2-3 six.ps kept.ps 2>/dev/null
[ "$(cat kept.ps)" = keep ] || fail "existing output destroyed by a failed run"

# A large input: memory stays small whatever the size, from a file and from a pipe.
{
  printf '%%!PS-Adobe-3.0\n%%%%Pages: 3\n%%%%EndComments\n'
  for n in 1 2 3; do
    printf '%%%%Page: %d %d\n/Helvetica findfont 40 scalefont setfont 100 400 moveto (B%d) show\n' $n $n $n
    [ $n = 2 ] && yes '% filler filler filler filler filler filler filler filler' | head -c 400000000
    printf 'showpage\n'
  done
  printf '%%%%Trailer\n%%%%EOF\n'
} > big.ps
# Peak memory of the selector must stay far below the input's 400 MB.
bounded() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o "$WORK/rss" "$@"; local rc=$?
    local rss; rss=$(tail -n 1 "$WORK/rss")
    [ "$rss" -lt 150000 ] 2>/dev/null || fail "peak memory ${rss} KB for $*"
    return $rc
  fi
  ( ulimit -v 150000; "$@" )  # without time(1): a cap (not for sanitizer builds)
}
bounded "$PSSELECT" -q -p3,1 big.ps bigout.ps || fail "large file: selector failed"
expect_pages bigout.ps "B3 B1" "large file"
cat big.ps | bounded "$PSSELECT" -q -p_1 > bigpipe.ps || fail "large pipe: selector failed"
expect_pages bigpipe.ps "B3" "large pipe"
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left after the large pipe"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all psselect checks passed"
