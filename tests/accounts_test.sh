#!/usr/bin/env bash
# Other local accounts cannot steer a run: outputs that are not files fail
# fast and say why, malformed -# values are refused, and (as root, with a
# throwaway account made here) another account's links in a shared folder
# and its planted completion block change nothing.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
# run ARGS...: the program under a guard, so a regression fails instead of hanging.
run() { timeout -k 5 60 "$@" </dev/null >out.txt 2>err.txt; echo $? >rc.txt; }
rc() { [ "$(cat rc.txt)" = "$1" ]; }
# failed <output> <reason>: exit 0 (a failed conversion), the Failed line, its reason.
failed() {
  rc 0 && grep -q " ==> $1, result = Failed$" out.txt && grep -qF -- "$2" err.txt
}
printf '%%!PS\n/Helvetica findfont 20 scalefont setfont 100 100 moveto (hi) show showpage\n' >in.ps

# Outputs that are not regular files: refused before anything opens them.
mkfifo fifo.pdf page_0001.png
while IFS='|' read -r out args reason; do
  # shellcheck disable=SC2086
  run "$S" -i in.ps -o "$out" $args
  check "output $out $args: fails at once with its reason" failed "$out" "$reason"
done <<TABLE
$WORK/fifo.pdf||fifo.pdf is a FIFO, not a regular file
$WORK/fifo.pdf|-p 2|fifo.pdf is a FIFO, not a regular file
/dev/null||/dev/null is a device, not a regular file
TABLE
run "$S" -i in.ps -o "$WORK/page.png" -r 20
check "a FIFO among the page names: Failed, nothing placed" eval \
  'failed "$WORK/page.png" "page_0001.png is a FIFO" && [ -p page_0001.png ] && [ ! -e page.png ]'

# -# values that are not a user and a password: refused, never run as the caller.
for value in alice alice: : ""; do
  run "$S" -# "$value" -i in.ps -o "$WORK/cred.pdf"
  check "-# '$value': 255 with a reason, nothing converted" eval \
    'rc 255 && grep -q "needs user:password" err.txt && [ ! -e cred.pdf ] && ! grep -q "result =" out.txt'
done
run "$S" -# alice:- -i in.ps -o "$WORK/cred.pdf"
check "-# alice:- with nothing on standard input: 255 with a reason" eval \
  'rc 255 && grep -q "no password on standard input" err.txt && [ ! -e cred.pdf ]'

if [ "$(id -u)" -ne 0 ]; then
  echo "accounts_test: the other-account part skipped (making an account needs root)"
  finish accounts_test
  exit 0
fi

# Another account, and a shared folder like /tmp that it may write.
user=scrivex-acc$$
useradd -M -s /usr/sbin/nologin "$user" || fail "useradd"
# The block name earlier versions used: FNV-1a of the state root, anyone can work it out.
hash=14695981039346656037
root=$(realpath -s "$SCRIVEX_HOME")/
for ((i = 0; i < ${#root}; i++)); do
  hash=$(((hash ^ $(printf '%d' "'${root:i:1}")) * 1099511628211))
done
old_block=/dev/shm/scrivex-$(printf '%016x' "$hash")-Inkwell
# The account's helper below ends by itself once "stop" is there.
trap 'touch "$WORK/stop"; wait; rm -f "$old_block"; userdel "$user"; rm -rf "$WORK"' EXIT
chmod 711 "$WORK"
mkdir shared && chmod 1777 shared
as_other() { runuser -u "$user" -- "$@"; }
echo "root only" >secret.txt && chmod 600 secret.txt
intact() { [ "$(cat secret.txt)" = "root only" ] && [ "$(stat -c %a secret.txt)" = 600 ]; }

as_other ln -s "$WORK/secret.txt" shared/out.pdf
run "$S" -i in.ps -o "$WORK/shared/out.pdf"
check "their link as a one-file output: refused with its reason, never followed" eval \
  'failed "$WORK/shared/out.pdf" "owned by another account" && intact && [ -L shared/out.pdf ]'
as_other ln -s "$WORK/secret.txt" shared/page_0001.png
run "$S" -i in.ps -o "$WORK/shared/page.png" -r 20
check "their link among the page names: refused, never followed" eval \
  'failed "$WORK/shared/page.png" "owned by another account" && intact'
as_other ln -s "$WORK/secret.txt" shared/single.png
run "$S" -i in.ps -o "$WORK/shared/single.png" -r 20 -G
check "their link as the -G name: refused, never followed" eval \
  'failed "$WORK/shared/single.png" "owned by another account" && intact'
echo keep >shared/n.pdf
as_other ln -s "$WORK/made-by-root.pdf" shared/n000.pdf
run "$S" -i in.ps -o "$WORK/shared/n.pdf" -p 3
check "-p 3 skips the number their dangling link holds" eval \
  'rc 1 && [ ! -e made-by-root.pdf ] && [ -s shared/n001.pdf ] && [ "$(cat shared/n.pdf)" = keep ]'
as_other mkdir shared/theirs
as_other ln -s "$WORK/shared/theirs" shared/dir
run "$S" -i in.ps -o "$WORK/shared/dir/x.pdf"
check "their link as a folder on the way: refused" failed "$WORK/shared/dir/x.pdf" "owned by another account"
ln -s "$WORK/mine.pdf" shared/mine.pdf
run "$S" -i in.ps -o "$WORK/shared/mine.pdf"
check "our own link there is followed as before" eval \
  'rc 1 && [ -L shared/mine.pdf ] && [ "$(head -c 5 mine.pdf)" = "%PDF-" ]'

# Their block under the name it could predict, open to all, with a forged
# announcement: the text route prints through the virtual printer and waits
# on the completion block, and must not see it. Our printers spool, so the
# run waits on the block while the driver works.
"$BIN/printer-admin" list >/dev/null
sed -i 's/^Attributes=2$/Attributes=0/' "$SCRIVEX_HOME"/spool/printers/*
# It keeps writing while the run waits, as an attacker would.
as_other sh -c 'umask 0; n=0; while [ ! -e "$3" ] && [ $n -lt 12000 ]; do
  printf "%s\0\0" "$1" 1<>"$2"; sleep 0.01; n=$((n + 1)); done' - \
  "$WORK/shared/injected.pdf" "$old_block" "$WORK/stop" >/dev/null 2>&1 &
echo "some text" >note.txt
run "$S" -i note.txt -o "$WORK/note.pdf" -G
touch stop
wait
check "their planted block: not read, the run prints its own page" eval \
  'rc 1 && ! grep -q injected out.txt && grep -q "note.pdf, result = Successful" out.txt &&
  [ "$(head -c 5 note.pdf)" = "%PDF-" ] && intact'
check "our block is private and gone after the run" eval \
  '[ "$(stat -c %a "$SCRIVEX_HOME/run")" = 700 ] && [ -z "$(ls "$SCRIVEX_HOME/run" | grep block)" ]'

finish accounts_test
