#!/usr/bin/env bash
# --jobs: a run's files on several workers print what a serial run prints,
# in input order; outputs that several inputs share stay whole; a worker
# killed mid-file fails that file only; Parallel=1 runs side by side.
. "$(dirname "$0")/lib.sh"
run() { "$BIN/scrivex" "$@" </dev/null >out.txt 2>err.txt; echo $? >rc.txt; }

# PDFs of n pages whose text names them, a PostScript file and a text file.
mkdir in
pdf() {  # NAME PAGES
  gs -q -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$1" -c "
    1 1 $2 { /n exch def /Helvetica findfont 20 scalefont setfont
      72 700 moveto ($(basename "$1" .pdf) page ) show n 3 string cvs show showpage } for"
}
for n in 6 1 4 2 5 3; do pdf in/doc$n.pdf "$n"; done
printf '%%!PS\n/Helvetica findfont 20 scalefont setfont 72 700 moveto (ps page) show showpage\n' >in/page.ps
printf 'a text file\n' >in/note.txt
pages() { tiffinfo "$1" 2>/dev/null | grep -c '^TIFF Directory'; }

# A serial run and a run on 3 workers: the same lines (but the time) and
# the same pages in each output.
mkdir serial parallel
"$BIN/scrivex" -i 'in/*' -o serial/ -c 4 -r 100 </dev/null 2>&1 | grep -v '^Conversion time' | sed "s|$WORK/serial/|OUT/|" >serial.txt
"$BIN/scrivex" --jobs 3 -i 'in/*' -o parallel/ -c 4 -r 100 </dev/null 2>&1 | grep -v '^Conversion time' | sed "s|$WORK/parallel/|OUT/|" >parallel.txt
check "--jobs 3 prints a serial run's lines, in input order" diff serial.txt parallel.txt
check "eight result lines" test "$(grep -c ', result = Successful$' parallel.txt)" = 8
mkdir -p tif
"$BIN/scrivex" --jobs 3 -i 'in/*.pdf' -o 'tif/*.tif' -c 4 -r 100 </dev/null >tif.txt 2>&1
echo "rc=$?" >>tif.txt
counts=$(for n in 1 2 3 4 5 6; do printf '%s ' "$(pages tif/doc$n.tif)"; done)
check "each TIFF holds its own PDF's pages ($counts)" test "$counts" = "1 2 3 4 5 6 "
check "the exit code is the last file's result (1)" grep -qx 'rc=1' tif.txt

# --json: the records of a serial run, in the same order.
mkdir -p json1 json2
"$BIN/scrivex" --json -i 'in/*.pdf' -o json1/ </dev/null 2>/dev/null | sed 's/"seconds":[0-9.e-]*//; s|json1/|OUT/|g' >json1.txt
"$BIN/scrivex" --json --jobs=2 -i 'in/*.pdf' -o json2/ </dev/null 2>/dev/null | sed 's/"seconds":[0-9.e-]*//; s|json2/|OUT/|g' >json2.txt
check "--json --jobs=2 gives a serial run's records" bash -c '[ -s json1.txt ] && diff json1.txt json2.txt'

# The entries of a list append to one PDF: one after the other, in order.
pdf start.pdf 1
cp start.pdf joined.pdf
for n in 1 2 3 4 5 6; do echo "$WORK/in/doc$n.pdf"; done >docs.lst
run --jobs 3 -p 2 -i docs.lst -o joined.pdf
order=$(pdftotext joined.pdf - | tr -d '\f' | grep -o '^[a-z0-9]* page 1$' | tr '\n' ' ')
check "appending under --jobs 3: 22 pages" test "$(pdfinfo joined.pdf | awk '/^Pages:/ {print $2}')" = 22
check "appended in input order ($order)" test "$order" = "start page 1 doc1 page 1 doc2 page 1 doc3 page 1 doc4 page 1 doc5 page 1 doc6 page 1 "

# A worker killed mid-file: that file fails with the reason; the files that
# wait for the same output go on in a fresh worker; nothing is lost.
printf '%%!PS\n0 1 1e12 { pop } for showpage\n' >in/a-slow.ps
(echo "$WORK/in/a-slow.ps"; cat docs.lst; echo "$WORK/in/note.txt") >killed.lst
"$BIN/scrivex" --jobs 2 -i killed.lst -o all.pdf </dev/null >out.txt 2>err.txt &
runner=$!
for _ in $(seq 300); do
  gspid=$(pgrep -n -f 'a-slow\.ps')
  [ -n "$gspid" ] && break
  sleep 0.1
done
worker=$(ps -o ppid= -p "$gspid" 2>/dev/null | tr -d ' ')
# The worker is the run's child that started Ghostscript (maybe through a box).
while [ -n "$worker" ] && [ "$(ps -o ppid= -p "$worker" | tr -d ' ')" != "$runner" ]; do
  worker=$(ps -o ppid= -p "$worker" | tr -d ' ')
done
check "a worker converts the slow file" test -n "$worker"
kill -9 "$worker"
wait "$runner"
check "the killed file fails with why" grep -q 'a-slow.ps: the worker converting it ended (killed by signal 9)' err.txt
check "every other file reaches the output" test "$(pdfinfo all.pdf | awk '/^Pages:/ {print $2}')" = 22
check "one result line per input" test "$(grep -c ', result = ' out.txt)" = 8
check "no Ghostscript left running" bash -c '! pgrep -f "a-slow[.]ps"'
rm in/a-slow.ps

# Parallel=1: two runs in one state folder at once, each on its own
# workers and printers; each output holds its own text.
mkdir prog && cp -a "$BIN/." prog/
printf '[Queue]\nParallel=1\n' >prog/config.ini
mkdir one two
for k in 1 2 3; do printf 'first run %s\n' $k >one/f$k.txt; printf 'second run %s\n' $k >two/s$k.txt; done
prog/scrivex -i 'one/*.txt' -o one/ </dev/null >one.txt 2>&1 &
first=$!
prog/scrivex -i 'two/*.txt' -o two/ </dev/null >two.txt 2>&1
wait "$first"
for k in 1 2 3; do
  check "first run's file $k holds its text" bash -c "pdftotext one/f$k.pdf - | grep -qx 'first run $k'"
  check "second run's file $k holds its text" bash -c "pdftotext two/s$k.pdf - | grep -qx 'second run $k'"
done
check "neither run waited in the queue" bash -c '! grep -q "waiting for conversion" one.txt two.txt'

# Bad counts are refused before anything runs.
run --jobs x -i in/doc1.pdf -o bad.pdf
check "--jobs x is refused with -1" bash -c '[ "$(cat rc.txt)" = 255 ] && grep -q "^--jobs '"'x'"': accepted" err.txt && [ ! -e bad.pdf ]'

finish workers_test
