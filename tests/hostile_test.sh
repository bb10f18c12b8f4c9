#!/usr/bin/env bash
# A hostile user's habits: endless jobs, kills, a full disk, empty and
# damaged inputs, stale pages, typos, concurrent appends, unusable state
# roots, FIFOs. Nothing may hang, lose an existing output, report a failure
# as success or leave a process or a file behind; every Failed line has its
# reason on standard error.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }
run() { "$@" </dev/null >out.txt 2>err.txt; echo $? >rc.txt; }
# failed <input> <reason text>: a Failed line, after the reason on stderr.
failed() {
  grep -q "^$WORK/$1 ==> .*, result = Failed$" out.txt && grep -qF "$WORK/$1: " err.txt &&
    grep -qF -- "$2" err.txt
}
no_staging() { [ -z "$(ls -A | grep '^\.scrivex-')" ]; }
our_children() { pgrep -f "$WORK/" | grep -v "^$$\$" || true; }

gs -q -sDEVICE=pdfwrite -o three.pdf -c "1 1 3 { 100 100 moveto /Helvetica findfont 20 scalefont setfont (p) show showpage } for"
printf '%%!PS\n{ } loop\n' >endless.ps
printf '%%!PS\n{ showpage } loop\n' >pages.ps
echo "the old output" >keep.pdf
old=$(md5sum <keep.pdf)
unchanged() { [ "$(md5sum <keep.pdf)" = "$old" ]; }

# An endless job: stopped by the watchdog of a program directory of our own.
mkdir prog && cp -a "$BIN/." prog/
printf '[Watchdog]\nChildSeconds=2\n' >prog/config.ini
run prog/scrivex -i endless.ps -o "$WORK/keep.pdf"
check "endless job: Failed with its reason" failed endless.ps "ran out of time after 2 seconds"
nothing_left() { unchanged && no_staging && [ -z "$(our_children)" ]; }
check "endless job: output, staging, processes" nothing_left

# Killed runs: no child outlives the program; a staging file left by kill -9
# goes with the next run in that folder; SIGTERM cleans up itself.
# victim OUTPUT: a run of an endless job, once its staging file is there.
victim() {
  "$S" -i pages.ps -o "$WORK/$1" >/dev/null 2>&1 &
  victim=$!
  for _ in $(seq 50); do [ -n "$(ls -A | grep '^\.scrivex-')" ] && break; sleep 0.1; done
}
victim killed.pdf
kill -9 $victim; wait $victim 2>/dev/null
sleep 0.5
check "kill -9: no child left running" test -z "$(our_children)"
run "$S" -i three.pdf -o "$WORK/after.pdf"
check "kill -9: the next run removes the staging file" no_staging
victim termed.pdf
kill -TERM $victim; wait $victim; rc=$?
sleep 0.5
check "SIGTERM: ends by the signal, nothing left" bash -c "[ $rc = 143 ] && [ -z \"\$(ls -A | grep '^\.scrivex-')\" ] && [ ! -e termed.pdf ]"

# Inputs that hold no page of their own.
: >empty.pdf
{ printf '%%PDF-1.4\n'; head -c 2000 /dev/urandom; } >random.pdf
mkfifo fifo.pdf
while IFS='|' read -r input args reason; do
  # shellcheck disable=SC2086
  run "$S" -i "$input" -o "$WORK/keep.pdf" $args
  check "$input $args: Failed with its reason" failed "$input" "$reason"
  check "$input $args: old output untouched" unchanged
done <<'TABLE'
empty.pdf||the file is empty
random.pdf||not a readable PDF
three.pdf|-g 99-99|the range starts at page 99
fifo.pdf||not a regular file
TABLE
check "nothing left behind" no_staging

# Stale pages: only this run's pages count, and they replace the old series.
for n in 1 2 3 4 5; do echo old >"page_000$n.png"; done
run "$S" -i three.pdf -o "$WORK/page.png" -r 20
check "a 3-page result over 5 old pages leaves exactly 3" bash -c '[ "$(ls page_*.png | wc -l)" = 3 ] && ! grep -q old page_0001.png'
cp page_0001.png first.png
run "$S" -i random.pdf -o "$WORK/page.png" -r 20
check "a failed run leaves the old series" bash -c 'cmp -s page_0001.png first.png && [ "$(ls page_*.png | wc -l)" = 3 ]'

# List files never destroy the output before a replacement is there.
run "$S" -i "$WORK/nothere.lst" -o "$WORK/keep.pdf"
check "mistyped list: reason, old output kept" eval 'grep -q "no such list file" err.txt && unchanged'
printf '%s\n' "$WORK/empty.pdf" "$WORK/random.pdf" >bad.lst
run "$S" -i bad.lst -o "$WORK/keep.pdf"
check "list of failures: old output kept" unchanged
printf '%s\n' "$WORK/empty.pdf" "$WORK/three.pdf" "$WORK/three.pdf" >mixed.lst
cp keep.pdf list.pdf
run "$S" -i mixed.lst -o "$WORK/list.pdf"
check "list: the first converted entry replaces, the next appends" test "$(pages list.pdf)" = 6

# Appends from runs with separate state roots: no page lost.
gs -q -sDEVICE=pdfwrite -o book.pdf -c "showpage"
for i in 1 2 3 4; do
  SCRIVEX_HOME=$WORK/home$i "$S" -p 2 -i three.pdf -o "$WORK/book.pdf" >/dev/null 2>&1 &
done
wait
check "four concurrent appends of 3 pages to 1 page" test "$(pages book.pdf)" = 13

# State roots that are not ours alone are refused before anything happens.
echo file >rootfile
mkdir -m 777 openroot
for root in rootfile openroot; do
  SCRIVEX_HOME=$WORK/$root "$S" -i three.pdf -o "$WORK/refused.pdf" </dev/null >out.txt 2>err.txt
  rc=$?
  check "state root $root: refused with -1 and why" bash -c "[ $rc = 255 ] && grep -q '$WORK/$root' err.txt && [ ! -e refused.pdf ]"
done

# A full disk (a small tmpfs; root only): Failed, old output kept, nothing left.
if mkdir full && mount -t tmpfs -o size=600k tmpfs full 2>/dev/null; then
  gs -q -sDEVICE=tiffg4 -r20 -o full/old.tif three.pdf
  fullold=$(md5sum <full/old.tif)
  run "$S" -i three.pdf -o "$WORK/full/old.tif" -r 600
  check "full disk: Failed with its reason" failed three.pdf "is full"
  check "full disk: old output kept, nothing left" \
    eval '[ "$(md5sum <full/old.tif)" = "$fullold" ] && [ "$(ls -A full)" = old.tif ]'
  umount full
else
  echo "skipped: full disk (needs root to mount a tmpfs)"
fi

finish hostile_test
