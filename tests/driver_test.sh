#!/usr/bin/env bash
# The program end to end: usage and exit codes, list files, naming, and the
# queue between two concurrent runs.
. "$(dirname "$0")/lib.sh"
bin=$BIN work=$WORK
run() { "$bin/scrivex" "$@" </dev/null >out.txt 2>err.txt; echo $? >rc.txt; }
rc() { [ "$(cat rc.txt)" = "$1" ]; }
has() { grep -qF -- "$1" out.txt; }

# Usage text: -?, no input, an unknown letter before -i, -i without a value.
for args in "-?" "" "-x -i a.doc" "a.doc -i b.doc" "-i"; do
  # shellcheck disable=SC2086
  run $args
  check "usage for '$args'" rc 1
  check "usage text for '$args'" bash -c '[ "$(wc -l <out.txt)" = 97 ] && tail -1 out.txt | grep -qx "Press any key to continue..."'
done

run -i "$work/none*.doc" -o "$work/x.pdf"
check "a pattern with no match ends with 0 and prints nothing" bash -c '[ "$(cat rc.txt)" = 0 ] && [ ! -s out.txt ]'

run -# "bob:secret" -i a.doc
check "credentials are not run under this account" bash -c '[ "$(cat rc.txt)" != 0 ] && [ "$(cat rc.txt)" != 1 ] && grep -q "another user" err.txt'

gs -q -sDEVICE=pdfwrite -o three.pdf -c \
  "/Helvetica findfont 40 scalefont setfont 1 1 3 { 100 400 moveto (Page ) show 3 string cvs show showpage } for"
gs -q -sDEVICE=pdfwrite -o one.pdf -c "showpage"

# A list file: CR LF lines, reading stops at the first empty line.
printf '%s\r\n%s\r\n\r\n%s\r\n' "$work/three.pdf" "$work/missing.pdf" "$work/one.pdf" > jobs.lst
run -i jobs.lst -o "$work/list.pdf"
check "list file: two entries, progress 49 and 99" bash -c 'grep -qx "Brindle Inc: 49" out.txt && grep -qx "Brindle Inc: 99" out.txt && ! grep -q one.pdf out.txt'
check "list file: first entry made the PDF" bash -c 'grep -q "three.pdf ==> .*list.pdf, result = Successful" out.txt && [ "$(pdfinfo list.pdf | grep Pages: | tr -s " " | cut -d" " -f2)" = 3 ]'
check "list file: last entry missing, so the run failed with -1" bash -c 'grep -q "missing.pdf ==> .*list.pdf, result = Failed" out.txt && [ "$(cat rc.txt)" = 255 ]'

# Relative input, directory output with a pattern name.
mkdir -p res
run -i three.pdf -o "res/*.png" -r 50 -g 2-3
check "relative input converts pages 2-3" bash -c 'grep -q "^$PWD/three.pdf ==> $PWD/res/three.png, result = Successful" out.txt && [ -f res/three_0001.png ] && [ -f res/three_0002.png ] && [ ! -f res/three_0003.png ]'
check "exit code 1 on success" rc 1

# -p 3 picks a free numbered name.
cp one.pdf keep.pdf
run -p 3 -i one.pdf -o keep.pdf
check "-p 3 writes keep000.pdf" bash -c '[ -f keep000.pdf ] && grep -q "==> $PWD/keep000.pdf, result = Successful" out.txt'

# Two runs at once: the second waits while the first holds the queue. The
# first blocks on reading its list file (a FIFO) after it has queued.
mkfifo slow.lst
"$bin/scrivex" -i slow.lst -o "$work/slow.tif" </dev/null >first.txt 2>&1 &
first=$!
for _ in $(seq 50); do [ -n "$(ls "$SCRIVEX_HOME/run/jobs" 2>/dev/null)" ] && break; sleep 0.1; done
"$bin/scrivex" -i one.pdf -o "$work/second.png" -r 20 </dev/null >second.txt 2>&1 &
second=$!
sleep 6
check "second run waits with the count 1" grep -qx "There has 1 job(s) waiting for conversion." second.txt
check "second run has not converted yet" bash -c '! grep -q "result =" second.txt'
printf '%s\n' "$work/one.pdf" > slow.lst
wait $first
wait $second
check "first run converted" grep -q "one.pdf ==> $work/slow.tif, result = Successful" first.txt
check "second run converted after it" grep -q "one.pdf ==> $work/second.png, result = Successful" second.txt

finish driver_test
