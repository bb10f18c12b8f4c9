#!/usr/bin/env bash
# What a printed web page may load: a local page reads its own folder but no
# other file and no local server; an address's page reaches its own host.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
if ! command -v chromium >/dev/null; then echo "skipped: no chromium"; exit 0; fi

# A local server that notes every request it gets, for two minutes at most.
cat >server.py <<'EOF'
import http.server, sys
root, log, portfile = sys.argv[1:4]
class Noting(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *a, **k): super().__init__(*a, directory=root, **k)
    def log_message(self, format, *args):
        with open(log, "a") as f: f.write(self.requestline + "\n")
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Noting)
open(portfile, "w").write(str(server.server_address[1]))
server.serve_forever()
EOF
# A PNG of the given size, plain red.
png() {
  python3 - "$@" <<'EOF'
import struct, sys, zlib
w, h, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
raw = b"".join(b"\0" + b"\xff\0\0" * w for _ in range(h))
open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                       + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
EOF
}
mkdir site outside served
secret="secret-$RANDOM$RANDOM"
echo "$secret" >outside/secret.txt
ln -s "$WORK/outside" site/door
png 40 30 site/beside.png
png 16 12 outside/far.png
png 24 18 served/own.png
timeout 120 python3 server.py "$WORK/served" "$WORK/requests.txt" "$WORK/port.txt" 2>/dev/null &
for _ in $(seq 50); do [ -s port.txt ] && break; sleep 0.1; done
port=$(cat port.txt)
: >requests.txt

cat >site/page.html <<EOF
<html><body><h1>Local page</h1>
<iframe src="file:///etc/passwd"></iframe>
<iframe src="file://$WORK/outside/"></iframe>
<iframe src="../outside/secret.txt"></iframe>
<iframe src="door/secret.txt"></iframe>
<object data="file://$WORK/outside/secret.txt" type="text/plain"></object>
<embed src="file://$WORK/outside/secret.txt" type="text/plain">
<img src="beside.png">
<img src="file://$WORK/outside/far.png">
<img src="http://127.0.0.1:$port/leak?img=$WORK/site/page.html">
<img src="http://localhost:$port/leak?name">
<img src="http://2130706433:$port/leak?number">
<script>
fetch("http://127.0.0.1:$port/leak?fetch=" + location.pathname).catch(function () {});
try { new WebSocket("ws://127.0.0.1:$port/leak?socket"); } catch (e) {}
new Worker(URL.createObjectURL(new Blob(["fetch('http://127.0.0.1:$port/leak?worker');" +
  "try { new WebSocket('ws://127.0.0.1:$port/leak?worker-socket'); } catch (e) {}"])));
</script>
</body></html>
EOF
# In a tab of a kept browser (-D), as any page of a batch.
SCRIVEX_TRACE=1 "$S" -D -i site/page.html -o local.pdf -l 1500 >out.txt 2>trace.txt
pdftotext local.pdf local.txt 2>/dev/null
check "a local page that reaches for other files still prints" eval 'grep -q "result = Successful" out.txt &&
  grep -q "Local page" local.txt'
check "no other file reaches the PDF" eval '! grep -q -e "$secret" -e "root:x:0" -e "secret.txt" local.txt'
check "the page's own picture is printed, one from elsewhere not" eval '
  pdfimages -list local.pdf | grep -Eq "^ +1 +[0-9]+ +image +40 +30 " &&
  ! pdfimages -list local.pdf | grep -Eq "^ +1 +[0-9]+ +image +16 +12 "'
check "the local server saw no request" eval '[ ! -s requests.txt ]'
check "refusals are traced" eval 'grep -q "refused file:///etc/passwd" trace.txt &&
  grep -q "refused http://127.0.0.1:$port/leak?img=" trace.txt'

# An address on this machine is what the user asked for: its own pictures load, other local names stay refused.
cat >served/page.html <<EOF
<html><body><h1>Served page</h1><img src="own.png">
<img src="http://localhost:$port/leak?other-name"><iframe src="file:///etc/passwd"></iframe></body></html>
EOF
"$S" -i "http://127.0.0.1:$port/page.html" -o served.pdf >out.txt 2>err.txt
check "an address on this machine prints with its own picture" eval 'grep -q "result = Successful" out.txt &&
  pdftotext served.pdf - | grep -q "Served page" && grep -q "GET /own.png" requests.txt &&
  pdfimages -list served.pdf | grep -Eq "^ +1 +[0-9]+ +image +24 +18 "'
check "other local names stay refused to it" eval '! grep -q leak requests.txt &&
  ! pdftotext served.pdf - | grep -q "root:x:0"'

# Without the browser the office suite prints the page's text and follows none of its links.
if command -v soffice >/dev/null; then
  mkdir nobrowser
  for f in /usr/bin/* /bin/*; do case ${f##*/} in chromium*) ;; *) ln -sf "$f" nobrowser/ ;; esac; done
  : >requests.txt
  PATH=$WORK/nobrowser "$S" -i site/page.html -o office.pdf >out.txt 2>err.txt
  check "the office suite prints the page and follows no link" eval 'grep -q "result = Successful" out.txt &&
    pdftotext office.pdf - | grep -q "Local page" && ! pdftotext office.pdf - | grep -q -e "$secret" -e "root:x:0" &&
    ! pdfimages -list office.pdf | grep -Eq "^ +1 +[0-9]+ +image +16 +12 " && [ ! -s requests.txt ]'
fi

finish web_leaks_test
