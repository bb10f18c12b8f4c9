#!/usr/bin/env bash
# -# user:password end to end: a test account made here, the request checked
# by PAM and run as that account in its own state folder.
. "$(dirname "$0")/lib.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "run_as_test: skipped (making a test account and logging it on needs root)"
  exit 0
fi
user=scrivex-e2e
id "$user" >/dev/null 2>&1 || useradd -m -s /usr/sbin/nologin "$user" || fail "useradd"
pw=Pw$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
echo "$user:$pw" | chpasswd || fail "chpasswd"
trap 'kill $(jobs -p) 2>/dev/null; passwd -q -l "$user"; rm -rf "$WORK"' EXIT
home=$(getent passwd "$user" | cut -d: -f6)
root="$home/.local/share/scrivex"
rm -rf "$root"  # its printers are installed on first use

# A folder the account may use; ours stays closed to it.
chmod 711 "$WORK"
if ! runuser -u "$user" -- test -x "$BIN/scrivex"; then
  cp -a "$BIN" "$WORK/bin" && BIN=$WORK/bin  # the build folder is closed to the account
fi
mkdir -p ra/tmp && chown -R "$user" ra
gs -q -sDEVICE=pdfwrite -o ra/in.pdf -c "<</PageSize [300 200]>> setpagedevice showpage"
export TMPDIR=$WORK/ra/tmp
snapshot() { find "$SCRIVEX_HOME" -printf '%p %u %s %T@\n' | sort; }
before=$(snapshot)

"$BIN/scrivex" -# "$user:wrong$pw" -i ra/in.pdf -o ra/wrong.png >/dev/null 2>&1 &
caller=$!
# Once PAM is loaded the arguments were read: the password must be gone.
until grep -q pam_unix "/proc/$caller/maps" 2>/dev/null || ! kill -0 $caller 2>/dev/null; do :; done
tr '\0' ' ' <"/proc/$caller/cmdline" >cmdline.txt 2>/dev/null
wait $caller
rc=$?
check "a wrong password: 1326 (46), nothing started; our arguments lost it" eval \
  '[ $rc = 46 ] && grep -q "$user:" cmdline.txt && ! grep -q "$pw" cmdline.txt && [ ! -e "$root" ]'
runuser -u "$user" -- "$BIN/scrivex" -# "$user:$pw" -i ra/in.pdf -o ra/x.png >/dev/null 2>&1
check "not root: 1314 (34)" test $? = 34

# The account's queue is held, so its run waits where it can be looked at.
runuser -u "$user" -- mkdir -p "$root/run"
runuser -u "$user" -- touch "$root/run/Marrow_Inkwell.lock"
exec 9<"$root/run/Marrow_Inkwell.lock"
flock -x 9
long=$(printf 'v%.0s' {1..2100})  # the whole list goes, however long
"$BIN/scrivex" -v "$long" -# "$user:$pw" -i ra/in.pdf -o ra/out.emf >run.txt 2>&1
rc=$?
for _ in $(seq 600); do grep -q "waiting for conversion" run.txt && break; sleep 0.2; done
leaks=$(grep -laF "$pw" /proc/[0-9]*/cmdline /proc/[0-9]*/environ 2>/dev/null)
flock -u 9
exec 9<&-
for _ in $(seq 300); do grep -q "result =" run.txt && break; sleep 0.2; done
check "right password: 0 at once; the password in no process while it ran" eval \
  '[ $rc = 0 ] && [ -z "$leaks" ]'
check "the output written by the account, in its own state folder" eval \
  '[ "$(stat -c %U ra/out*.emf)" = "$user" ] && [ "$(head -c 44 ra/out*.emf | tail -c 4)" = " EMF" ] &&
  grep -q "result = Successful" run.txt && [ "$(stat -c %U "$root/spool/printers")" = "$user" ]'
check "our state folder untouched" test "$before" = "$(snapshot)"

finish run_as_test
