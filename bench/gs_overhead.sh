#!/bin/bash
# Times a rendering through scrivex against the same Ghostscript command line
# run by hand, on multi-page PDFs made here, and prints the ratio. The Group 4
# cases on 3 and 20 pages also time bare Ghostscript (no options beyond the
# device, resolution and output), which shows what the program's own choices
# of arguments cost.
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

# A PDF of PAGES letter pages of Times-Roman text (not embedded) and shapes.
make_pdf() {  # PAGES OUTPUT
  gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$2" -c "
    << /PageSize [612 792] >> setpagedevice
    1 1 $1 { /n exch def
      /Times-Roman findfont 11 scalefont setfont
      0 1 55 { /l exch def 54 740 l 12 mul sub moveto
        (Page ) show n 3 string cvs show ( line ) show l 3 string cvs show
        ( - the quick brown fox jumps over the lazy dog, again and again.) show } for
      0.2 setgray 300 200 n 5 mul add 200 150 rectfill
      0 setgray 2 setlinewidth 72 72 moveto 540 720 lineto stroke
      showpage } for"
}
pages=12
for n in 3 $pages 20; do make_pdf $n "$work/doc$n.pdf"; done

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

# Runs "$@" once, adding its wall and CPU microseconds to the arrays named
# by the first two arguments.
timed() {  # WALL-ARRAY CPU-ARRAY COMMAND...
  local -n wall=$1 cpu=$2
  shift 2
  local t0 t1
  rm -f "$work"/out/*
  t0=$(now)
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" >/dev/null 2>&1 || true
  t1=$(now)
  wall+=($(((t1 - t0) / 1000)))
  cpu+=($(awk '{printf "%d", ($1 + $2) * 1000000}' "$work/cpu"))
}

# The fastest run is the least disturbed by other load on the machine.
compare() {  # LABEL WALL-A[@] WALL-B[@] CPU-A[@] CPU-B[@] as four space-separated lists
  local label=$1 ms mg ns ng mcs mcg
  ms=$(printf '%s\n' $2 | median)
  mg=$(printf '%s\n' $3 | median)
  ns=$(printf '%s\n' $2 | sort -n | head -1)
  ng=$(printf '%s\n' $3 | sort -n | head -1)
  mcs=$(printf '%s\n' $4 | median)
  mcg=$(printf '%s\n' $5 | median)
  awk -v n="$label" -v s="$ms" -v g="$mg" -v a="$ns" -v b="$ng" -v cs="$mcs" -v cg="$mcg" 'BEGIN {
    printf "%-34s median %7.1f / %7.1f ms (%.3f)  fastest %7.1f / %7.1f ms (%.3f)  cpu %6.0f / %6.0f ms (%.3f)\n",
      n, s/1000, g/1000, s/g, a/1000, b/1000, a/b, cs/1000, cg/1000, (cg > 0 ? cs/cg : 0) }'
}

# Times scrivex against its traced command line by hand; with BARE=1 also
# against bare Ghostscript (meant for the Group 4 300 dpi cases).
bench_case() {  # NAME INPUT OUTPUT-NAME KEY=VALUE...
  local name=$1 input=$2 output=$work/out/$3
  shift 3
  local traced line gslib cmd
  scrivex_command "$input" "$output" "$@"
  # The program's exit code is its last result (1 is success): read the line.
  traced=$(SCRIVEX_TRACE=1 "${cmd[@]}" 2>&1) || true
  grep -q 'result = \(Successful\|1\)$' <<<"$traced" || { echo "$name failed:"; echo "$traced"; exit 1; }
  line=$(sed -n 's/^szCommandLine=//p' <<<"$traced" | head -1)
  [ -n "$line" ] || { echo "no command line traced for $name"; exit 1; }
  # The traced line quotes each argument for bash; its -I argument is the
  # library path the program hands to Ghostscript as GS_LIB.
  local hand=() arg i
  eval "hand=($line)"
  gslib=
  for i in "${!hand[@]}"; do
    arg=${hand[$i]}
    case $arg in
      -I*) gslib=${arg#-I} ;;
      # Page files go to a staging folder that is gone after the run: by
      # hand they go straight to the output folder.
      -sOutputFile=*) hand[$i]=-sOutputFile=$work/out/${arg##*/} ;;
    esac
  done
  local bare=(gs -q -dBATCH -dNOPAUSE -sDEVICE=tiffg4 -r300 "-sOutputFile=$output" "$input")
  local ts=() tg=() tb=() cs=() cg=() cb=()
  for ((i = 0; i < runs; i++)); do
    timed ts cs "${cmd[@]}"
    GS_LIB="$gslib" timed tg cg "${hand[@]}"
    if [ "${BARE:-0}" = 1 ]; then timed tb cb "${bare[@]}"; fi
  done
  compare "$name" "${ts[*]}" "${tg[*]}" "${cs[*]}" "${cg[*]}"
  if [ "${BARE:-0}" = 1 ]; then
    compare "  vs bare gs" "${ts[*]}" "${tb[*]}" "${cs[*]}" "${cb[*]}"
    compare "  by hand vs bare gs" "${tg[*]}" "${tb[*]}" "${cg[*]}" "${cb[*]}"
  fi
}

echo "$runs runs each, scrivex side: $side; times are scrivex / the other side (ratio)"
# The first PDF run with a fresh state root also makes the font map it keeps.
scrivex_command "$work/doc3.pdf" "$work/out/first.tif" bits=1 comp=4 xres=300
t0=$(now)
"${cmd[@]}" >/dev/null 2>&1 || true
t1=$(now)
awk -v t="$(((t1 - t0) / 1000))" 'BEGIN {printf "first run, font map made: %.1f ms\n", t/1000}'
# The fonts Ghostscript is given decide what a PDF job costs: with a map
# every name resolves at once, without one the reader scans the folder.
fonts=$(readlink -f "$build/bin/windows/fonts")
echo "fonts: $(find "$fonts" -type f \( -iname '*.ttf' -o -iname '*.otf' -o -iname '*.t1' \
  -o -iname '*.pf[ab]' \) | wc -l) font files and $(find "$fonts" -type f -iname '*.ttc' | wc -l)" \
  "collections in $fonts, from $(dpkg -S "$fonts" 2>/dev/null | cut -d: -f1 | tr -d ' ' ||
  echo 'unknown packages')"
# The map a run uses is the one its traced command line names.
map=$(SCRIVEX_TRACE=1 "${cmd[@]}" 2>&1 | grep -o '"-sFONTMAP=[^"]*"' | head -1 | sed 's/^"-sFONTMAP=//; s/"$//')
if [ -z "$map" ]; then
  echo "font map: not used (the fonts folder is on FONTPATH)"
elif sed -n 2p "$map" | grep -q '^% unusable'; then
  echo "font map: $(sed -n 2p "$map" | cut -c3-)"
else
  echo "font map: in use, $(grep -c ' ;$' "$map") names"
fi
BARE=1 bench_case "3 pages, TIFF G4 300 dpi" "$work/doc3.pdf" g4.tif bits=1 comp=4 xres=300
BARE=1 bench_case "20 pages, TIFF G4 300 dpi" "$work/doc20.pdf" g4.tif bits=1 comp=4 xres=300
echo "$pages-page PDF, scrivex / gs by hand:"
bench_case "TIFF G4 300 dpi (one file)" "$work/doc$pages.pdf" g4.tif bits=1 comp=4 xres=300
bench_case "PNG 24-bit 150 dpi (pages)" "$work/doc$pages.pdf" page.png bits=24 xres=150
bench_case "JPEG 24-bit 150 dpi (pages)" "$work/doc$pages.pdf" page.jpg bits=24 xres=150 q=85
bench_case "PNG 72 dpi, one page" "$work/doc$pages.pdf" one.png bits=24 xres=72 pages=1

# The program's own cost: the same run with a Ghostscript stand-in that exits
# at once (found first, in the private temporary folder's p2t/), against the
# stand-in alone. Averages over 5 x RUNS runs.
mkdir -p "$TMPDIR/p2t"
printf '#!/bin/sh\nexit 0\n' >"$TMPDIR/p2t/gs"
chmod 700 "$TMPDIR" "$TMPDIR/p2t/gs"
scrivex_command "$work/doc$pages.pdf" "$work/out/fixed.png" bits=24 xres=72
n=$((runs * 5))
t0=$(now)
for ((i = 0; i < n; i++)); do "${cmd[@]}" >/dev/null 2>&1 || true; done
t1=$(now)
for ((i = 0; i < n; i++)); do "$TMPDIR/p2t/gs" -q >/dev/null; done
t2=$(now)
awk -v a="$(((t1 - t0) / n))" -v b="$(((t2 - t1) / n))" \
  'BEGIN {printf "fixed cost per run: %.2f ms (program with stand-in %.2f ms, stand-in alone %.2f ms)\n", (a-b)/1e6, a/1e6, b/1e6}'
rm -rf "$TMPDIR/p2t"


# GIF and TGA pages go through the image converter; they should cost about
# what PNG pages cost. The 3-page PDF at the default resolution, medians.
rm -rf "$TMPDIR/p2t"
for ext in png gif tga; do
  scrivex_command "$work/doc3.pdf" "$work/out/conv.$ext"
  t=()
  for ((i = 0; i < runs; i++)); do
    rm -f "$work"/out/conv_*
    t0=$(now)
    "${cmd[@]}" >/dev/null 2>&1 || true
    t1=$(now)
    t+=($(((t1 - t0) / 1000)))
  done
  awk -v e="$ext" -v m="$(printf '%s\n' "${t[@]}" | median)" \
    'BEGIN {printf "3 pages to %s, default resolution: %.1f ms\n", e, m/1000}'
done
