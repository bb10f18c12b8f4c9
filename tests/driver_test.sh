#!/usr/bin/env bash
# The program end to end: usage and exit codes, list files, naming, and the
# queue between two concurrent runs.
source_dir=$(cd "$(dirname "$0")/.." && pwd)
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

# --help and --version answer at once with 0; the version is the package's.
run --help
check "--help: the 96 lines of the usage text, exit 0" bash -c '[ "$(cat rc.txt)" = 0 ] && [ "$(wc -l <out.txt)" = 96 ] && head -1 out.txt | grep -qx "Brindle Document Converter v2.1"'
version=$(sed -n 's/^project(scrivex VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
run --version
check "--version: scrivex $version, exit 0" bash -c '[ "$(cat rc.txt)" = 0 ] && [ "$(cat out.txt)" = "scrivex '"$version"'" ]'

# The usage text waits for a key only at a console: behind a pipe whose
# writer never writes (sleep N | scrivex -?) it ends at once, with 1.
mkfifo silent
sleep 120 >silent &
writer=$!
timeout 30 "$bin/scrivex" -? <silent >out.txt 2>err.txt
echo $? >rc.txt
kill "$writer"
check "-? behind a silent pipe ends with 1 without waiting" rc 1

# A script's loop: every line reaches its call; a key read by the usage
# text would swallow the lines after it.
printf '%s\n' "-?" "-o x.pdf" "-b 7 -i a.pdf" >calls.txt
: >seen.txt
while read -r args; do
  # shellcheck disable=SC2086
  timeout 30 "$bin/scrivex" $args >/dev/null 2>&1
  echo "$? $args" >>seen.txt
done <calls.txt
check "a while-read loop sees its three calls and their exit codes" bash -c '[ "$(cat seen.txt)" = "$(printf "1 -?\n1 -o x.pdf\n255 -b 7 -i a.pdf")" ]'

# A value no option takes: one line naming option, value and what it takes,
# exit -1, nothing converted.
printf 'hello\n' >note.txt
run -i note.txt -o rotated.pdf -R 45
check "-R 45 is refused with its reason and -1" bash -c '[ "$(cat rc.txt)" = 255 ] && [ "$(cat err.txt)" = "-R '"'45'"': accepted: 0, 90, 180 or 270" ] && [ ! -s out.txt ] && [ ! -e rotated.pdf ]'

# An unquoted wildcard expanded by the shell leaves stray words.
mkdir docs && touch docs/a.pdf docs/b.pdf
run -i docs/*.pdf -o out/
check "an expanded wildcard is refused, naming the first stray word" bash -c '[ "$(cat rc.txt)" = 255 ] && [ "$(cat err.txt)" = "unexpected argument '"'docs/b.pdf'"': quote wildcards so that the program expands them" ]'

# Paper names become the table's codes: A4 is 595x842 points.
run -f A4 -i note.txt -o a4.pdf
check "-f A4: a text file on an A4 page" bash -c 'grep -q "a4.pdf, result = Successful" out.txt && [ "$(pdfinfo a4.pdf | awk "/^Page size:/ { printf \"%.0fx%.0f\", \$3, \$5 }")" = 595x842 ]'

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

# --json: one record a line on standard output, every other line on standard
# error, the files as written, and the exit codes of Linux tools.
json() { "$bin/scrivex" --json "$@" >records.txt 2>human.txt; echo $? >code.txt; }
# field N KEY: the key of record N (from 1); a list's items on one line.
field() {
  python3 -c 'import json, sys
v = json.loads(open("records.txt").read().splitlines()[int(sys.argv[1]) - 1])[sys.argv[2]]
print(" ".join(v) if isinstance(v, list) else v)' "$@"
}
mkdir -p js
json -i three.pdf -o js/p.png -r 20
check "--json: a record per input with its page files; human lines on stderr" eval '
  [ "$(wc -l <records.txt)" = 1 ] && [ "$(cat code.txt)" = 0 ] &&
  [ "$(field 1 files)" = "$PWD/js/p_0001.png $PWD/js/p_0002.png $PWD/js/p_0003.png" ] &&
  [ "$(field 1 pages)" = 3 ] && [ "$(field 1 result)" = Successful ] &&
  grep -q "result = Successful" human.txt && ! grep -q "result =" records.txt'
printf "%s\n" "$PWD/three.pdf" "$PWD/missing.pdf" >two.lst
json -i two.lst -o js/joined.pdf
check "--json: a failed input gives its reason and exit 1" eval '
  [ "$(wc -l <records.txt)" = 2 ] && [ "$(field 2 result)" = Failed ] &&
  [ "$(field 2 reason)" = "no such file" ] && [ "$(cat code.txt)" = 1 ]'
json -i three.pdf -o js/x.pdf -R 45
check "--json: bad arguments exit 2, nothing on standard output" eval '
  [ "$(cat code.txt)" = 2 ] && [ ! -s records.txt ] && grep -q "^-R .45.: accepted" human.txt'
json -i "nomatch*.pdf" -o js/none.pdf
check "--json: nothing matched exits 1" eval '[ "$(cat code.txt)" = 1 ] && [ ! -s records.txt ]'

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
