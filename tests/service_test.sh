#!/usr/bin/env bash
# scrivex-server: conversions over HTTP, the errors and their statuses, the
# queue and the time limit, metrics, the token, and the drain on SIGTERM.
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
. "$(dirname "$0")/lib.sh"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
# start NAME ARGS...: a server on a free loopback port; URL_<NAME> and PID_<NAME>.
start() {
  local name=$1; shift
  local port; port=$(free_port)
  "$BIN/scrivex-server" --listen "127.0.0.1:$port" "$@" 2>"$name.log" &
  eval "PID_$name=$! URL_$name=http://127.0.0.1:$port"
  for _ in $(seq 300); do
    [ "$(curl -s -o /dev/null -w "%{http_code}" "http://127.0.0.1:$port/version")" != 000 ] && return 0
    sleep 0.1
  done
  fail "$name: the server did not come up"; cat "$name.log"
}
# post URL OUT ARGS...: the status code; headers in OUT.h, body in OUT.
post() { local url=$1 out=$2; shift 2; curl -s -o "$out" -D "$out.h" -w '%{http_code}' "$@" "$url/convert"; }
header() { tr -d '\r' <"$2" | awk -v h="$1" 'tolower($1) == tolower(h) ":" { $1 = ""; sub(/^ /, ""); print }'; }
metric() { curl -s "$1/metrics" | awk -v m="$2" '$1 == m { print $2 }'; }

pdf() {  # NAME PAGES
  gs -q -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$1" -c "
    1 1 $2 { /n exch def /Helvetica findfont 20 scalefont setfont
      72 700 moveto (page ) show n 3 string cvs show showpage } for"
}
pdf three.pdf 3
printf 'a text file for the service\n' >note.txt
printf 'not a PDF at all\n' >broken.pdf
printf 'whatever\n' >data.xyz
head -c 1500000 /dev/urandom >big.txt
printf '%%!PS\n0 1 1e12 { pop } for showpage\n' >slow.ps

start A --workers 2 --max-upload-mb 1 --timeout 120
A=$URL_A

# A text file and a PDF to PDF.
code=$(post "$A" note.pdf -F file=@note.txt -F format=pdf -F title='Service note')
check "text to PDF: 200 ($code)" test "$code" = 200
check "text to PDF: the text is in it" grep -q 'a text file for the service' <(pdftotext note.pdf - 2>/dev/null)
check "text to PDF: its title" grep -q 'Title: *Service note' <(pdfinfo note.pdf 2>/dev/null)
check "text to PDF: content type" test "$(header Content-Type note.pdf.h)" = application/pdf
check "text to PDF: its name" grep -q 'filename="note.pdf"' <(header Content-Disposition note.pdf.h)
code=$(post "$A" three-out.pdf -F file=@three.pdf -F pages=2-3)
check "PDF to PDF, pages 2-3: 200 ($code)" test "$code" = 200
check "PDF to PDF: 2 pages" grep -q 'Pages: *2$' <(pdfinfo three-out.pdf 2>/dev/null)
check "PDF to PDF: X-Scrivex-Pages 2" test "$(header X-Scrivex-Pages three-out.pdf.h)" = 2

# A PDF to a series of page images: a zip of them in page order.
code=$(post "$A" pages.zip -F file=@three.pdf -F format=png -F resolution=50)
check "PDF to PNG pages: 200 ($code)" test "$code" = 200
check "PDF to PNG pages: a zip" test "$(header Content-Type pages.zip.h)" = application/zip
check "PDF to PNG pages: X-Scrivex-Pages 3" test "$(header X-Scrivex-Pages pages.zip.h)" = 3
names=$(unzip -Z1 pages.zip 2>/dev/null | tr '\n' ' ')
check "the zip holds the pages in order ($names)" test "$names" = "three_0001.png three_0002.png three_0003.png "
mkdir -p unz && unzip -oq pages.zip -d unz 2>/dev/null
check "each entry is a PNG" test "$(file -b unz/three_0002.png | cut -d, -f1)" = "PNG image data"
code=$(post "$A" three.tif -F file=@three.pdf -F format=tif -F resolution=50 -F compression=4)
check "PDF to TIFF: 200 ($code)" test "$code" = 200
tiffpages=$(unzip -Z1 three.tif >/dev/null 2>&1 && echo zip || tiffinfo three.tif 2>/dev/null | grep -c '^TIFF Directory')
check "PDF to TIFF: 3 pages ($tiffpages)" test "$tiffpages" = 3

# Errors: JSON with a reason, and the status that says what went wrong.
code=$(post "$A" bad.json -F file=@note.txt -F resolution=abc)
check "a bad option: 400 ($code)" test "$code" = 400
check "a bad option: the reason names the field" grep -q '"reason":"resolution .abc.: accepted' bad.json
code=$(post "$A" unknown.json -F file=@note.txt -F output=/etc/passwd)
check "an unknown field: 400 ($code)" test "$code" = 400
code=$(post "$A" big.json -F file=@big.txt)
check "an upload over --max-upload-mb: 413 ($code)" test "$code" = 413
check "413 says why in JSON" grep -q '"reason"' big.json
code=$(post "$A" xyz.json -F file=@data.xyz)
check "an input no route converts: 415 ($code)" test "$code" = 415
code=$(post "$A" raw.json -H 'Content-Type: text/plain' --data-binary @note.txt)
check "a body that is no form: 415 ($code)" test "$code" = 415
code=$(post "$A" fileurl.json -H 'Content-Type: application/json' -d '{"url":"file:///etc/passwd"}')
check "a file:// address: 415 ($code)" test "$code" = 415
# Addresses of this machine or its networks are refused before anything is
# fetched: a listener on loopback sees no request.
python3 -c '
import socket, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8); print(s.getsockname()[1]); sys.stdout.flush()
s.settimeout(30)
try:
    c, _ = s.accept(); open("fetched", "w").write("yes")
except OSError:
    pass
' >trap.port &
trap_pid=$!
for _ in $(seq 50); do [ -s trap.port ] && break; sleep 0.1; done
trap_port=$(cat trap.port)
for url in "http://127.0.0.1:$trap_port/" "http://localhost:$trap_port/" "http://[::1]:$trap_port/" \
           "http://0x7f.1:$trap_port/" http://10.0.0.1/ http://192.168.1.1/ http://169.254.169.254/latest/ \
           "http://[fd00::1]/" "http://[fe80::1]/" "http://user@127.0.0.1:$trap_port/"; do
  code=$(post "$A" local.json -H 'Content-Type: application/json' -d "{\"url\":\"$url\",\"format\":\"pdf\"}")
  check "a local or private address ($url): 400 ($code)" test "$code" = 400
  check "  refused with its reason" grep -q '"reason":"the address is not converted' local.json
done
kill "$trap_pid" 2>/dev/null; wait "$trap_pid" 2>/dev/null
check "nothing was fetched from this machine" test ! -e fetched

code=$(post "$A" broken.json -F file=@broken.pdf)
check "a conversion that fails: 422 ($code)" test "$code" = 422
check "422 gives the reason line" grep -q '"reason":"..*"' broken.json

# Metrics move; one log line per request.
before=$(metric "$A" 'scrivex_requests_total{route="/convert",status="200"}')
post "$A" again.pdf -F file=@note.txt >/dev/null
after=$(metric "$A" 'scrivex_requests_total{route="/convert",status="200"}')
check "metrics: converted requests counted ($before -> $after)" test "$after" = $((before + 1))
check "metrics: failures by reason" test "$(metric "$A" 'scrivex_failures_total{reason="too_large"}')" = 1
check "metrics: a histogram per input type" test "$(metric "$A" 'scrivex_conversion_seconds_count{input_type="txt"}')" -ge 2
code=$(curl -s -o health.json -w '%{http_code}' "$A/health")
check "health: 200 ($code)" test "$code" = 200
# A worker that died: the probe says so and replaces it; the next is healthy.
victim=$(pgrep -P "$PID_A" | head -1)
kill -KILL "$victim"
code=$(curl -s -o health.json -w '%{http_code}' "$A/health")
check "health with a dead worker: 503 ($code)" test "$code" = 503
check "  naming the worker" grep -q '"reason":"worker [01] does not answer"' health.json
code=$(curl -s -o health.json -w '%{http_code}' "$A/health")
check "health after the worker was replaced: 200 ($code)" test "$code" = 200
check "a log line per request" grep -Eq '^POST /convert 200 txt in=[0-9]+ out=[0-9]+ ms=[0-9]+ worker=[01]$' A.log
check "uploads and results are gone after each request" test -z "$(find "$TMPDIR" -name 'input.*' -o -name '*.png' -o -name 'note.pdf')"

# One worker, no queue, a 3-second limit: a second request is refused with
# Retry-After while the first runs, the first ends with 504 and its worker
# is replaced.
start B --workers 1 --queue 0 --timeout 3 --log-format json
B=$URL_B
post "$B" slow.json -F file=@slow.ps >slow.code &
slow=$!
for _ in $(seq 100); do [ "$(metric "$B" scrivex_busy_workers)" = 1 ] && break; sleep 0.1; done
code=$(post "$B" full.json -F file=@note.txt)
check "queue full: 503 ($code)" test "$code" = 503
check "503 with Retry-After" test -n "$(header Retry-After full.json.h)"
wait $slow
check "over the time limit: 504 ($(cat slow.code))" test "$(cat slow.code)" = 504
check "the worker was replaced" test "$(metric "$B" scrivex_worker_restarts_total)" = 1
code=$(post "$B" after.pdf -F file=@note.txt)
check "the new worker converts: 200 ($code)" test "$code" = 200
check "JSON log lines" grep -q '"route":"/convert","status":504' B.log
kill -TERM "$PID_B"; wait "$PID_B"

# An office that cannot start makes the service unhealthy, said at start too.
mkdir -p fakebin && printf '#!/bin/sh\necho "no display for you" >&2\nexit 3\n' >fakebin/soffice
chmod +x fakebin/soffice
PATH="$WORK/fakebin:$PATH" start D --workers 1
code=$(curl -s -o health.json -w '%{http_code}' "$URL_D/health")
check "health when the office cannot start: 503 ($code)" test "$code" = 503
check "  with its reason" grep -q '"reason":"soffice cannot start (exit 3): no display for you"' health.json
check "  logged at start" grep -q 'unhealthy until fixed: soffice cannot start' D.log
kill -TERM "$PID_D"; wait "$PID_D"

# Beyond loopback a token is needed.
port=$(free_port)
"$BIN/scrivex-server" --listen "0.0.0.0:$port" --workers 1 2>open.log
rc=$?
check "0.0.0.0 without a token is refused (exit $rc)" grep -q 'needs --token' open.log
printf 's3cret\n' >token.txt
start C --workers 1 --token token.txt
code=$(curl -s -o /dev/null -w '%{http_code}' "$URL_C/version")
check "no token: 401 ($code)" test "$code" = 401
code=$(curl -s -o /dev/null -w '%{http_code}' -H 'Authorization: Bearer wrong!' "$URL_C/version")
check "a wrong token: 401 ($code)" test "$code" = 401
code=$(curl -s -o /dev/null -w '%{http_code}' -H 'Authorization: Bearer s3cret' "$URL_C/version")
check "the token: 200 ($code)" test "$code" = 200
kill -TERM "$PID_C"; wait "$PID_C"

# SIGTERM drains: the running request finishes, nothing new is taken, exit 0.
post "$A" drained.pdf -F file=@three.pdf -F format=tif -F resolution=150 >drained.code &
client=$!
for _ in $(seq 100); do [ "$(metric "$A" scrivex_busy_workers)" = 1 ] && break; sleep 0.05; done
kill -TERM "$PID_A"
wait $client
check "the request running at SIGTERM finishes: 200 ($(cat drained.code))" test "$(cat drained.code)" = 200
wait "$PID_A"
rc=$?
check "SIGTERM: exit 0 ($rc)" test "$rc" = 0
check "then nothing is taken" test "$(curl -s -o /dev/null -w '%{http_code}' "$A/version")" = 000
left=""
for p in $(pgrep -f 'scrivex-server --serve-requests'); do
  [ "$(readlink "/proc/$p/cwd")" = "$WORK" ] && left="$left $p"
done
check "the workers ended with it ($left)" test -z "$left"

# The packaged unit, pointed at this build's program.
if command -v systemd-analyze >/dev/null; then
  sed "s|/usr/bin/scrivex-server|$BIN/scrivex-server|" \
    "$SOURCE/packaging/systemd/scrivex-server.service" >scrivex-server.service
  check "the systemd unit verifies" systemd-analyze verify ./scrivex-server.service
fi

finish service_test
