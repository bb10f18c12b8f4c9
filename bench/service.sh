#!/bin/bash
# The conversion service against the command line and what a user would run
# instead: the service's cost per request for a small PDF -> PDF; 32 .docx
# -> PDF from 4 concurrent clients on 2 workers against 32 cold
# soffice --convert-to runs and one office kept over UNO
# (bench/uno_baseline.py); p50 and p99 latency per input type.
#
#   bench/service.sh BUILD_DIR [N]
#
# N: requests per latency sample (50).
set -eu
. "$(dirname "$0")/office_document.sh"
build=${1:?usage: service.sh BUILD_DIR [N]}
n=${2:-50}
build=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
scrivex=$build/bin/scrivex
work=$(mktemp -d)
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; wait; rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$SCRIVEX_HOME" "$work/out" "$work/lat"
cd "$work"

ms() { date +%s%3N; }
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
# pct P: the P-th percentile (nearest rank) of the numbers on standard input.
pct() { sort -n | awk -v p="$1" '{a[NR] = $1} END {r = int(p / 100 * NR + 0.999); if (r < 1) r = 1; print a[r]}'; }

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$build/bin/scrivex-server" --listen "127.0.0.1:$port" --workers 2 --queue 64 2>server.log &
server=$!
url=http://127.0.0.1:$port
for _ in $(seq 300); do
  [ "$(curl -s -o /dev/null -w '%{http_code}' "$url/version")" = 200 ] && break
  sleep 0.1
done
# post TYPE FILE [FIELDS...]: one request; its milliseconds go to lat/TYPE.
post() {
  local type=$1 file=$2; shift 2
  local out; out=$(mktemp -p "$work/out")
  local t
  t=$(curl -s -o "$out" -w '%{http_code} %{time_total}' -F "file=@$file" "$@" "$url/convert")
  [ "${t%% *}" = 200 ] || { echo "a $type request failed: $t $(head -c 300 "$out")" >&2; exit 1; }
  awk -v s="${t#* }" 'BEGIN {printf "%d\n", s * 1000}' >>"lat/$type"
  rm -f "$out"
}

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
  "$(soffice --version 2>/dev/null | head -1 | cut -d' ' -f1-2), load $(cut -d' ' -f1 /proc/loadavg)"

# A one-page PDF to PDF: the command line, and the service (warm workers).
gs -q -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile=small.pdf \
  -c "/Helvetica findfont 20 scalefont setfont 72 700 moveto (small) show showpage"
"$scrivex" -i small.pdf -o warm.pdf >/dev/null 2>&1 || true  # its exit code is the result code
post pdf small.pdf; post pdf small.pdf; : >lat/pdf
cli=$(for _ in $(seq "$n"); do
  s=$(ms); "$scrivex" -i small.pdf -o out/cli.pdf >/dev/null 2>&1 || true; echo $(($(ms) - s))
done | median)
for _ in $(seq "$n"); do post pdf small.pdf; done
svc=$(median <lat/pdf)

# Text and a web page, for their latencies.
printf 'a line of text\n' >small.txt
printf '<html><body><h1>A page</h1><p>Some text.</p></body></html>\n' >small.html
for _ in $(seq "$n"); do post txt small.txt; done
for _ in $(seq $((n / 5 > 5 ? n / 5 : 5))); do post html small.html; done

# 32 .docx of two pages.
office_document docx "$work"
mkdir -p docx
for i in $(seq 32); do cp doc.docx "docx/doc$i.docx"; done
post docx doc.docx; post docx doc.docx; : >lat/docx  # each worker's office started
export -f post; export url work
s=$(ms)
ls docx/*.docx | xargs -P 4 -I{} bash -c 'post docx {}'
ours=$(($(ms) - s))
rm -rf out/* && s=$(ms)
for f in docx/*.docx; do
  rm -rf "$work/profile"
  soffice --headless "-env:UserInstallation=file://$work/profile" --convert-to pdf --outdir out "$f" >/dev/null 2>&1
done
cold=$(($(ms) - s))
[ "$(ls out | wc -l)" = 32 ] || { echo "the cold soffice runs did not convert"; exit 1; }
rm -rf out/* && s=$(ms)
/usr/bin/python3 "$here/uno_baseline.py" out docx/*.docx >/dev/null
uno=$(($(ms) - s))
[ "$(ls out | wc -l)" = 32 ] || { echo "the UNO baseline did not convert"; exit 1; }

echo
printf '%-62s %10s\n' "case" "result"
printf '%-62s %7d ms\n' "one-page PDF -> PDF, command line (median of $n)" "$cli"
printf '%-62s %7d ms\n' "one-page PDF -> PDF, service (median of $n)" "$svc"
printf '%-62s %7d ms\n' "  service over the command line" $((svc - cli))
printf '%-62s %7d ms\n' "32 .docx -> PDF, service, 4 clients, 2 workers" "$ours"
printf '%-62s %7d ms  %5.2fx\n' "32 .docx -> PDF, 32 cold soffice --convert-to" "$cold" "$(awk "BEGIN {print $cold / $ours}")"
printf '%-62s %7d ms  %5.2fx\n' "32 .docx -> PDF, one office kept over UNO" "$uno" "$(awk "BEGIN {print $uno / $ours}")"
echo
printf '%-10s %6s %8s %8s\n' "input" "count" "p50 ms" "p99 ms"
for t in pdf txt html docx; do
  printf '%-10s %6d %8d %8d\n' "$t" "$(wc -l <lat/$t)" "$(pct 50 <lat/$t)" "$(pct 99 <lat/$t)"
done
