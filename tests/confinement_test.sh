#!/usr/bin/env bash
# Documents from outside, end to end: office documents whose links point at
# a local server and at a folder only root may read fetch nothing and embed
# nothing; a document that swells past the memory cap fails with its reason;
# the sandbox modes; a killed run leaves nothing the next run does not sweep.
# (That a box's /tmp, with the office's sockets, is its own is a unit test.)
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
run() { "$@" </dev/null >out.txt 2>err.txt; echo $? >rc.txt; }
if ! command -v soffice >/dev/null; then
  echo "skipped: no office suite"
  exit 0
fi

# A server on this machine that logs every request it gets.
cat >server.py <<'EOF'
import http.server, sys
class Log(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        with open(sys.argv[1], "a") as f:
            f.write(self.requestline + "\n")
server = http.server.HTTPServer(("127.0.0.1", 0), Log)
print(server.server_address[1], flush=True)
server.timeout = 1
import time
end = time.time() + 600
while time.time() < end:
    server.handle_request()
EOF
python3 -u server.py "$WORK/requests.txt" >port.txt 2>/dev/null &
for _ in $(seq 50); do [ -s port.txt ] && break; sleep 0.1; done
port=$(head -1 port.txt)
convert -size 40x30 xc:red served.png

# A picture in a folder only its owner may enter, as a linked document would name it.
mkdir -m 700 private
convert -size 16x12 xc:blue private/secret.png

# The documents: flat ODF with a picture linked by address and one linked
# by file, made into .odt and .docx by the office suite itself.
cat >links.fodt <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.text">
 <office:body><office:text><text:p>Linked pictures
  <draw:frame draw:name="web" svg:width="4cm" svg:height="3cm"><draw:image xlink:href="http://127.0.0.1:$port/served.png?from=office" xlink:type="simple" xlink:show="embed" xlink:actuate="onLoad"/></draw:frame>
  <draw:frame draw:name="file" svg:width="4cm" svg:height="3cm"><draw:image xlink:href="file://$WORK/private/secret.png" xlink:type="simple" xlink:show="embed" xlink:actuate="onLoad"/></draw:frame>
 </text:p></office:text></office:body></office:document>
EOF
for type in odt docx; do
  soffice --headless "-env:UserInstallation=file://$WORK/office" --convert-to $type links.fodt >/dev/null 2>&1
done
check "the test documents were made" test -s links.odt -a -s links.docx
: >requests.txt
for type in odt docx; do
  run "$S" -i links.$type -o links-$type.pdf
  check "$type with linked pictures prints its text" eval 'grep -q "result = Successful" out.txt &&
    pdftotext links-$type.pdf - | grep -q "Linked pictures"'
  check "$type: neither linked picture is in the PDF" eval '
    ! pdfimages -list links-$type.pdf | grep -Eq " image +(40 +30|16 +12) "'
done
check "the office fetched nothing from the local server" eval '[ ! -s requests.txt ]'

# A document part of a few megabytes that swells to gigabytes in the office:
# stopped at the cap of a program directory of our own.
mkdir prog && cp -a "$BIN/." prog/
printf '[Watchdog]\nChildMemoryMB=400\nChildSeconds=300\n' >prog/config.ini
python3 - <<'EOF'
import zipfile
z = zipfile.ZipFile("swollen.docx", "w", zipfile.ZIP_DEFLATED)
z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
z.writestr("_rels/.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>')
para = '<w:p><w:r><w:t>swelling paragraph swelling paragraph swelling</w:t></w:r></w:p>'
body = '<?xml version="1.0"?><w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>' + para * 2500000 + '</w:body></w:document>'
z.writestr("word/document.xml", body)
z.close()
EOF
echo "the old output" >swollen.pdf
start=$(date +%s)
run timeout 280 prog/scrivex -i swollen.docx -o swollen.pdf
check "a swelling document fails with the cap as its reason" eval 'grep -q "result = Failed" out.txt &&
  grep -q "ran out of memory (400 MB)" err.txt && [ "$(cat swollen.pdf)" = "the old output" ]'
echo "swollen document stopped after $(($(date +%s) - start)) s"
# Named .doc it goes to the office the program keeps itself.
cp swollen.docx swollen.doc
run timeout 280 prog/scrivex -i swollen.doc -o swollen.pdf
check "the kept office that swells fails with the cap as its reason" eval '
  grep -q "result = Failed" out.txt && grep -q "office ran out of memory (400 MB)" err.txt &&
  [ "$(cat swollen.pdf)" = "the old output" ]'

# The modes: a program directory whose search path has no bubblewrap.
mkdir nobwrap
for f in /usr/bin/* /bin/*; do [ "${f##*/}" = bwrap ] || ln -sf "$f" nobwrap/ 2>/dev/null; done
printf 'plain text\n' >note.txt
for mode in auto required off; do
  printf '[Sandbox]\nMode=%s\n' $mode >prog/config.ini
  PATH=$WORK/nobwrap run prog/scrivex -i note.txt -o note-$mode.pdf
  cp err.txt err-$mode.txt
  cp out.txt out-$mode.txt
done
check "auto without a box: one warning, and the file converts" eval '
  [ "$(grep -c "read without a sandbox: bubblewrap (bwrap) is not installed" err-auto.txt)" = 1 ] &&
  grep -q "result = Successful" out-auto.txt'
check "required without a box: the file fails with that reason" eval '
  grep -q "result = Failed" out-required.txt && grep -q "the sandbox is required" err-required.txt &&
  [ ! -e note-required.pdf ]'
check "off: converts and says nothing" eval 'grep -q "result = Successful" out-off.txt && [ ! -s err-off.txt ]'

# A run killed in the middle of an office document leaves its folder; the
# next run sweeps it.
"$S" -i swollen.docx -o killed.pdf >/dev/null 2>&1 &
victim=$!
for _ in $(seq 50); do [ -n "$(ls -A "$TMPDIR" | grep '^\.scrivex-')" ] && break; sleep 0.1; done
sleep 0.5
kill -9 $victim
wait $victim 2>/dev/null
sleep 0.5
check "kill -9 leaves the run's private folder" eval '[ -n "$(ls -A "$TMPDIR" | grep "^\.scrivex-")" ]'
check "kill -9: no boxed child outlives the run" eval '! pgrep -f "$TMPDIR" >/dev/null'
run "$S" -i note.txt -o after.pdf
check "the next run sweeps it and keeps nothing of its own" eval '[ -z "$(ls -A "$TMPDIR")" ]'

finish confinement_test
