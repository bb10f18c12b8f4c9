#!/usr/bin/env bash
# Web pages from the command line: the HTML creator object prints files and
# addresses on the paper asked for, lets scripts run for the -l time, and
# prints nothing for a page that does not load.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
echo '<html><body><h1>Quire page</h1></body></html>' >page.html
echo '<html><body>Now<script>setTimeout(function(){document.body.append(" and later")}, 2500)</script></body></html>' >late.html

"$S" -i page.html -o big.pdf -f 11x17in >out.txt 2>err.txt
check "a file on 11x17in paper" eval 'grep -q "result = Successful" out.txt &&
  pdfinfo big.pdf | grep -q "792 x 1224 pts" && pdftotext big.pdf - | grep -q "Quire page"'
"$S" -i late.html -o late.pdf -l 3000 >out.txt 2>err.txt
"$S" -i late.html -o soon.pdf >>out.txt 2>>err.txt
check "-l lets the page's script write; without it the page prints as it loaded" eval '
  pdftotext late.pdf - | grep -q "Now and later" && pdftotext soon.pdf - | grep -qx "Now"'

# -D: the pages of a run share one browser (each seen as its profile folder).
mkdir batch
for n in first second third; do echo "<html><body><h1>Batch $n</h1></body></html>" >batch/$n.html; done
(while :; do pgrep -af "user-data-dir=$TMPDIR" | grep -o "user-data-dir=[^ ]*"; sleep 0.05; done) >browsers.txt &
sampler=$!
"$S" -D -i "batch/*.html" -o "batch/*.pdf" >out.txt 2>err.txt
kill $sampler
check "-D prints three pages, each its own, in one browser" eval '[ "$(sort -u browsers.txt | wc -l)" = 1 ] &&
  [ "$(for n in first second third; do pdftotext batch/$n.pdf - | head -1; done)" = "$(printf "Batch %s\n" first second third)" ]'

python3 -u -m http.server 0 --bind 127.0.0.1 >server.txt 2>&1 &
for _ in $(seq 50); do grep -q "port" server.txt && break; sleep 0.1; done
port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' server.txt)
"$S" -i "http://127.0.0.1:$port/page.html" -o web.pdf >out.txt 2>err.txt
check "an address on a local server" eval 'pdftotext web.pdf - | grep -q "Quire page"'

echo old >gone.pdf
"$S" -i "http://127.0.0.1:$port/gone.html" -o gone.pdf >out.txt 2>err.txt
"$S" -i "http://no-such-host.invalid/page.html" -o nohost.pdf >>out.txt 2>>err.txt
check "pages that do not load print nothing and say why" eval '[ "$(grep -c "result = Failed" out.txt)" = 2 ] &&
  grep -q "could not be loaded: HTTP 404" err.txt && grep -q "could not be loaded: no such host" err.txt &&
  [ "$(cat gone.pdf)" = old ] && [ ! -e nohost.pdf ]'
check "no browser is left running" eval '! pgrep -f "user-data-dir=$TMPDIR" >/dev/null'

# Without the browser the office suite prints files; with neither, the object is missing.
mkdir nobrowser empty
for f in /usr/bin/* /bin/*; do case ${f##*/} in chromium*) ;; *) ln -sf "$f" nobrowser/ ;; esac; done
PATH=$WORK/nobrowser "$S" -i page.html -o office.pdf >out.txt 2>err.txt
check "without the browser the office suite prints the file" eval 'pdftotext office.pdf - | grep -q "Quire page"'
PATH=$WORK/empty "$S" -i page.html -o none.pdf >out.txt 2>err.txt
check "with neither the object cannot be created" eval '
  grep -qx "Can.t locate .Vellum.Quire. in this computer, please reinstall this product to try again." out.txt &&
  grep -q "result = Failed" out.txt && [ ! -e none.pdf ]'

finish html_print_test
