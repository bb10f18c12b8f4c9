#!/bin/bash
# Times a rendering through scrivex against the same Ghostscript command line
# run by hand, on a multi-page PDF made here, and prints the ratio.
#
#   bench/gs_overhead.sh BUILD_DIR [RUNS]
#
# The scrivex side is the program bin/scrivex, or with SIDE=api the C
# interface's command-line caller (tests/pstoimage_run). The hand side is the
# command line scrivex traces (SCRIVEX_TRACE=1), run with the same GS_LIB.
set -eu
build=${1:?usage: gs_overhead.sh BUILD_DIR [RUNS]}
runs=${2:-7}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$work/out"

pages=12
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/doc.pdf" -c "
  << /PageSize [612 792] >> setpagedevice
  1 1 $pages { /n exch def
    /Times-Roman findfont 11 scalefont setfont
    0 1 55 { /l exch def 54 740 l 12 mul sub moveto
      (Page ) show n 3 string cvs show ( line ) show l 3 string cvs show
      ( - the quick brown fox jumps over the lazy dog, again and again.) show } for
    0.2 setgray 300 200 n 5 mul add 200 150 rectfill
    0 setgray 2 setlinewidth 72 72 moveto 540 720 lineto stroke
    showpage } for"

side=${SIDE:-program}
# Options as KEY=VALUE (bits comp xres q pages), for either side; fills cmd.
scrivex_command() {  # INPUT OUTPUT KEY=VALUE...
  local input=$1 output=$2 kv
  shift 2
  if [ "$side" = api ]; then
    cmd=("$build/tests/pstoimage_run" "$input" "$output")
    for kv in "$@"; do
      case $kv in
        xres=*) cmd+=("$kv" "yres=${kv#*=}") ;;
        pages=*) cmd+=("first=${kv#*=}" "last=${kv#*=}") ;;
        *) cmd+=("$kv") ;;
      esac
    done
    return
  fi
  cmd=("$build/bin/scrivex" -i "$input" -o "$output")
  for kv in "$@"; do
    case $kv in
      bits=*) cmd+=(-b "${kv#*=}") ;;
      comp=*) cmd+=(-c "${kv#*=}") ;;
      xres=*) cmd+=(-r "${kv#*=}") ;;
      q=*) cmd+=(-q "${kv#*=}") ;;
      pages=*) cmd+=(-g "${kv#*=}") ;;
    esac
  done
}

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

bench_case() {  # NAME OUTPUT-NAME KEY=VALUE...
  local name=$1 output=$work/out/$2
  shift 2
  # The command line scrivex builds for this case.
  local traced line
  local cmd
  scrivex_command "$work/doc.pdf" "$output" "$@"
  # The program's exit code is its last result (1 is success): read the line.
  traced=$(SCRIVEX_TRACE=1 "${cmd[@]}" 2>&1) || true
  grep -q 'result = \(Successful\|1\)$' <<<"$traced" || { echo "$name failed:"; echo "$traced"; exit 1; }
  line=$(sed -n 's/^szCommandLine=//p' <<<"$traced" | head -1)
  [ -n "$line" ] || { echo "no command line traced for $name"; exit 1; }
  local gslib
  gslib=$(sed -n 's/.* -I"\([^"]*\)" -c quit$/\1/p' <<<"$line")
  local ts=() tg=() cs=() cg=() t0 t1
  for ((i = 0; i < runs; i++)); do
    rm -f "$work"/out/*
    t0=$(now)
    /usr/bin/time -f '%U %S' -o "$work/cpu" "${cmd[@]}" >/dev/null 2>&1 || true
    t1=$(now)
    ts+=($(((t1 - t0) / 1000)))
    cs+=($(awk '{printf "%d", ($1 + $2) * 1000000}' "$work/cpu"))
    rm -f "$work"/out/*
    t0=$(now)
    eval "GS_LIB=\"$gslib\" /usr/bin/time -f '%U %S' -o \"$work/cpu\" $line" >/dev/null 2>&1 || true
    t1=$(now)
    tg+=($(((t1 - t0) / 1000)))
    cg+=($(awk '{printf "%d", ($1 + $2) * 1000000}' "$work/cpu"))
  done
  local ms mg ns ng mcs mcg
  ms=$(printf '%s\n' "${ts[@]}" | median)
  mg=$(printf '%s\n' "${tg[@]}" | median)
  ns=$(printf '%s\n' "${ts[@]}" | sort -n | head -1)
  ng=$(printf '%s\n' "${tg[@]}" | sort -n | head -1)
  mcs=$(printf '%s\n' "${cs[@]}" | median)
  mcg=$(printf '%s\n' "${cg[@]}" | median)
  # The fastest run is the least disturbed by other load on the machine.
  awk -v n="$name" -v s="$ms" -v g="$mg" -v a="$ns" -v b="$ng" -v cs="$mcs" -v cg="$mcg" 'BEGIN {
    printf "%-28s median %7.1f / %7.1f ms (%.3f)  fastest %7.1f / %7.1f ms (%.3f)  cpu %6.0f / %6.0f ms (%.3f)\n",
      n, s/1000, g/1000, s/g, a/1000, b/1000, a/b, cs/1000, cg/1000, (cg > 0 ? cs/cg : 0) }'
}

echo "$pages-page PDF, $runs runs each, scrivex side: $side; times are scrivex / gs by hand (ratio)"
bench_case "TIFF G4 300 dpi (one file)" g4.tif bits=1 comp=4 xres=300
bench_case "PNG 24-bit 150 dpi (pages)" page.png bits=24 xres=150
bench_case "JPEG 24-bit 150 dpi (pages)" page.jpg bits=24 xres=150 q=85
bench_case "PNG 72 dpi, one page" one.png bits=24 xres=72 pages=1

# The program's own cost: the same run with a Ghostscript stand-in that exits
# at once (found first, in the private temporary folder's p2t/), against the
# stand-in alone. Averages over 5 x RUNS runs.
mkdir -p "$TMPDIR/p2t"
printf '#!/bin/sh\nexit 0\n' >"$TMPDIR/p2t/gs"
chmod 700 "$TMPDIR" "$TMPDIR/p2t/gs"
scrivex_command "$work/doc.pdf" "$work/out/fixed.png" bits=24 xres=72
n=$((runs * 5))
t0=$(now)
for ((i = 0; i < n; i++)); do "${cmd[@]}" >/dev/null 2>&1 || true; done
t1=$(now)
for ((i = 0; i < n; i++)); do "$TMPDIR/p2t/gs" -q >/dev/null; done
t2=$(now)
awk -v a="$(((t1 - t0) / n))" -v b="$(((t2 - t1) / n))" \
  'BEGIN {printf "fixed cost per run: %.2f ms (program with stand-in %.2f ms, stand-in alone %.2f ms)\n", (a-b)/1e6, a/1e6, b/1e6}'
rm -rf "$TMPDIR/p2t"

