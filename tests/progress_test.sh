#!/usr/bin/env bash
# The progress line: shown on standard error only when that is a terminal
# (script(1) gives the program one), drawn over in place and erased before
# the result and failure lines; never on standard output, never in a file
# or a pipe, never with --json.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
ESC=$'\e'
CR=$'\r'

# A three-page PDF; a file that only claims to be one.
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile=three.pdf -c \
  "1 1 3 { /Helvetica findfont 40 scalefont setfont 72 600 moveto 3 string cvs show showpage } for"
printf '%%PDF-1.4\nnot really\n' >bad.pdf
seq -f "line %g" 200 >text.txt

# on_terminal TRANSCRIPT COMMAND: runs the shell command with a terminal as
# its standard input, output and error (its own redirections apply on top);
# what reached the terminal lands in TRANSCRIPT.
export TERM=xterm
on_terminal() { script -qfec "$2" "$1" </dev/null >/dev/null 2>&1; }
has() { grep -qF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }
# The last thing drawn on the terminal erased the line.
ends_erased() {
  [ "$(tr -d '\n' <"$1" | grep -oE "$CR[^$CR$ESC]*$ESC\[K" | tail -1)" = "$CR$ESC[K" ]
}
# No progress text of any stage, nor its control characters.
clean() {
  ! grep -qE 'reading the input|rendering|checking the output|writing TIFF|printing' "$1" &&
    ! grep -qF "$ESC[K" "$1"
}

check "a pseudo-terminal for the program (util-linux script)" on_terminal pty.log "test -t 2"
on_terminal pdf.log "$S -i three.pdf -o three.tif -c 5 -r 50 >pdf.out"
check "the PDF converted" eval '[ "$(tiffinfo three.tif 2>/dev/null | grep -c "TIFF Directory")" = 3 ]'
check "the pages show on the terminal" has pdf.log "${CR}three.pdf: rendering page 3 of 3$ESC[K"
check "the first page and the stages show too" eval 'has pdf.log "three.pdf: rendering page 1 of 3" &&
  has pdf.log "${CR}three.pdf: reading the input$ESC[K" && has pdf.log "three.pdf: writing TIFF page 3 of 3"'
check "the line is erased at the end of the file" ends_erased pdf.log
check "standard output holds the result line and no progress" eval 'has pdf.out "==> $WORK/three.tif, result = Successful" &&
  clean pdf.out && ! grep -q "$CR" pdf.out'

# Standard output on the terminal too: each result line starts on a clean line.
on_terminal both.log "$S -i three.pdf -o both.tif -r 50"
check "the result line follows the erased line" \
  has both.log "$ESC[K$CR$ESC[K$WORK/three.pdf ==> $WORK/both.tif, result = Successful"
on_terminal bad.log "$S -i bad.pdf -o bad.tif >/dev/null"
check "a failure's line follows the erased line" has bad.log "$CR$ESC[K$WORK/bad.pdf: not a readable PDF"

# Standard error in a file, or --json: nothing of it anywhere.
on_terminal err.log "$S -i three.pdf -o err.tif -r 50 2>err.txt"
check "standard error in a file: no progress there" clean err.txt
check "nor on the terminal" clean err.log
check "the result line still reaches the terminal" has err.log "result = Successful"
on_terminal json.log "$S --json -i three.pdf -o json.tif -r 50 >json.out"
check "--json on a terminal: no progress" eval 'clean json.log && clean json.out && has json.out "\"pages\":3"'
TERM=dumb on_terminal dumb.log "$S -i three.pdf -o dumb.tif -r 50"
check "a terminal that cannot erase a line: no progress" eval 'clean dumb.log && has dumb.log "result = Successful"'
"$S" -i three.pdf -o pipe.tif -r 50 >pipe.out 2>pipe.err
check "in pipes: no progress" eval 'clean pipe.err && clean pipe.out && has pipe.out "result = Successful"'

# The printing road: the print's stages, from the program and its helper.
on_terminal text.log "$S -i text.txt -o text.pdf >text.out"
check "a printed text converted" eval '[ -s text.pdf ] && has text.out "result = Successful"'
check "its stages show" eval 'has text.log "${CR}text.txt: printing$ESC[K" &&
  has text.log "${CR}text.txt: printing with notepad$ESC[K" &&
  has text.log "${CR}text.txt: handing the job to the printer$ESC[K"'
check "standard output holds no progress" clean text.out
check "the print leaves the line erased" ends_erased text.log
# Rendered by the printer's driver, which reports how far it got.
on_terminal tiff.log "$S -i text.txt -o text.tif -r 50 >tiff.out"
check "the driver's last page shows" \
  grep -qE "${CR}text.txt: printer: writing TIFF page ([0-9]+) of \1$ESC\[K" tiff.log
check "and the line is erased" eval 'ends_erased tiff.log && clean tiff.out'

finish progress_test
