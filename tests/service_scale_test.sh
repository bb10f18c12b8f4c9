#!/usr/bin/env bash
# Two scrivex-server replicas behind haproxy with health checks: mixed
# requests from four clients all come back right, both replicas serve, and
# one killed outright mid-run loses no request that was taken.
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
. "$(dirname "$0")/lib.sh"

if ! command -v haproxy >/dev/null; then
  fail "haproxy is not installed (scripts/setup installs it)"
  finish service_scale_test
fi

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
metric() { curl -s "$1/metrics" | awk -v m="$2" '$1 == m { print $2 }'; }
up() {  # URL: waits until it answers /health with 200
  for _ in $(seq 600); do
    [ "$(curl -s -o /dev/null -w '%{http_code}' "$1/health")" = 200 ] && return 0
    sleep 0.1
  done
  return 1
}

PORT_A=$(free_port) PORT_B=$(free_port) PORT_LB=$(free_port)
"$BIN/scrivex-server" --listen "127.0.0.1:$PORT_A" --workers 1 2>a.log &
PID_A=$!
"$BIN/scrivex-server" --listen "127.0.0.1:$PORT_B" --workers 1 2>b.log &
PID_B=$!
# The shipped example, pointed at these ports.
sed -e "s/^\( *bind \).*/\1127.0.0.1:$PORT_LB/" \
    -e "s/127.0.0.1:3001/127.0.0.1:$PORT_A/; s/127.0.0.1:3002/127.0.0.1:$PORT_B/" \
    -e "s/inter 2s fall 2 rise 2/inter 500ms fall 2 rise 1/" \
    "$SOURCE/packaging/haproxy.cfg" >haproxy.cfg
check "the example configuration is valid" haproxy -q -c -f haproxy.cfg
haproxy -db -f haproxy.cfg >haproxy.log 2>&1 &
PID_LB=$!
LB=http://127.0.0.1:$PORT_LB
check "replica A is healthy" up "http://127.0.0.1:$PORT_A"
check "replica B is healthy" up "http://127.0.0.1:$PORT_B"
check "haproxy answers" up "$LB"

# The inputs, each with a text of its own that its answer must hold.
pdf() {  # NAME PAGES MARK
  gs -q -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$1" -c "
    1 1 $2 { /n exch def /Helvetica findfont 20 scalefont setfont
      72 700 moveto ($3 page ) show n 3 string cvs show showpage } for"
}
mkdir -p in out lo
for n in 1 2 3; do pdf in/p$n.pdf $n "pdfmark$n"; done
printf 'officemark one\n' >in/d1.txt
printf 'officemark two\n' >in/d2.txt
soffice -env:UserInstallation="file://$WORK/lo" --headless --convert-to doc --outdir in in/d1.txt >/dev/null 2>&1
soffice -env:UserInstallation="file://$WORK/lo" --headless --convert-to docx --outdir in in/d2.txt >/dev/null 2>&1
check "soffice made the office inputs" test -s in/d1.doc -a -s in/d2.docx

# Request i: its input, output format, and what the answer must show.
plan() {
  local i=$1
  case $((i % 5)) in
    0) printf 'text mark %s\n' "$i" >"in/t$i.txt"
       echo "in/t$i.txt pdf text:text mark $i" ;;
    1) printf '<html><body><h1>web mark %s</h1></body></html>\n' "$i" >"in/h$i.html"
       echo "in/h$i.html pdf text:web mark $i" ;;
    2) local n=$((i % 3 + 1)); echo "in/p$n.pdf pdf pages:$n:pdfmark$n" ;;
    3) local n=$((i % 3 + 1)); echo "in/p$n.pdf tif tiff:$n" ;;
    4) if [ $((i % 10)) = 4 ]; then echo "in/d1.doc pdf text:officemark one"
       else echo "in/d2.docx pdf text:officemark two"; fi ;;
  esac
}
# One request with a client's patience: a refused connection or a 503 is
# tried again a few times; any other answer is final.
send() {  # I
  local i=$1 input format want code
  read -r input format want <<<"$(plan "$i")"
  for attempt in 1 2 3 4 5 6; do
    code=$(curl -s -o "out/$i.$format" -w '%{http_code}' -F "file=@$input" -F "format=$format" \
      -F resolution=50 "$LB/convert")
    [ "$code" != 000 ] && [ "$code" != 503 ] && break
    sleep 1
  done
  echo "$code $attempt $format $want" >"out/$i.status"
}
client() {  # C: requests C, C+4, ...
  for i in $(seq "$1" 4 40); do send "$i"; done
}
for c in 1 2 3 4; do client $c & done
clients=$(jobs -p | grep -v -e "^$PID_A$" -e "^$PID_B$" -e "^$PID_LB$")

# Mid-run, while A converts, A dies outright.
for _ in $(seq 600); do
  [ "$(ls out/*.status 2>/dev/null | wc -l)" -ge 12 ] &&
    [ "$(metric "http://127.0.0.1:$PORT_A" scrivex_busy_workers)" = 1 ] && break
  sleep 0.05
done
served_a=$(metric "http://127.0.0.1:$PORT_A" 'scrivex_requests_total{route="/convert",status="200"}')
busy_a=$(metric "http://127.0.0.1:$PORT_A" scrivex_busy_workers)
kill -KILL "$PID_A"
check "A was converting when it was killed (busy $busy_a)" test "${busy_a:-0}" = 1
wait $clients

# Every request answered, and with the right file.
wrong=""
for i in $(seq 1 40); do
  read -r code attempt format want <<<"$(cat "out/$i.status" 2>/dev/null)"
  f=out/$i.$format
  case $want in
    text:*) ok=$(pdftotext "$f" - 2>/dev/null | grep -c "${want#text:}") ;;
    pages:*) n=${want#pages:}; mark=${n#*:}; n=${n%%:*}
             ok=$([ "$(pdfinfo "$f" 2>/dev/null | awk '/^Pages:/ { print $2 }')" = "$n" ] &&
                  pdftotext "$f" - 2>/dev/null | grep -c "$mark page $n") ;;
    tiff:*) ok=$([ "$(tiffinfo "$f" 2>/dev/null | grep -c '^TIFF Directory')" = "${want#tiff:}" ] && echo 1) ;;
  esac
  [ "$code" = 200 ] && [ "${ok:-0}" -ge 1 ] || wrong="$wrong $i($code,$want)"
done
check "all 40 answered with the right file:${wrong:- yes}" test -z "$wrong"
served_b=$(metric "http://127.0.0.1:$PORT_B" 'scrivex_requests_total{route="/convert",status="200"}')
check "A served requests before it died (${served_a:-0})" test "${served_a:-0}" -ge 1
check "B served requests (${served_b:-0})" test "${served_b:-0}" -ge 1
check "haproxy saw A go down" grep -q 'is DOWN' haproxy.log
check "B is still healthy" test "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$PORT_B/health")" = 200

kill -TERM "$PID_B" "$PID_LB"
wait "$PID_B"
check "B drains and exits 0 ($?)" test $? = 0
finish service_scale_test
