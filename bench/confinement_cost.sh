#!/bin/bash
# What the box costs each route: the same conversion by a program directory
# whose config.ini says [Sandbox] Mode=auto (boxed) and one that says off,
# runs alternating, medians compared. Ghostscript, which runs unboxed, is
# timed by hand: gs alone against gs in a box with the binds it would need.
#
#   bench/confinement_cost.sh BUILD_DIR [RUNS]
set -eu
build=${1:?usage: confinement_cost.sh BUILD_DIR [RUNS]}
runs=${2:-7}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$SCRIVEX_HOME"
cd "$work"
for mode in auto off; do
  mkdir "$mode" && cp -a "$build/bin/." "$mode/"
  printf '[Sandbox]\nMode=%s\n' $mode >"$mode/config.ini"
done

for i in $(seq 1 400); do echo "Line $i: the quick brown fox jumps over the lazy dog."; done >text.txt
convert -size 2480x3508 plasma:fractal -quality 90 photo.jpg
{
  echo '<html><body><h1>Report</h1>'
  for i in $(seq 1 60); do echo "<p>Paragraph $i: <b>bold</b> and <i>italic</i> text.</p>"; done
  echo '</body></html>'
} >page.html
printf '<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.text">
 <office:body><office:text><text:p>A letter</text:p></office:text></office:body></office:document>\n' >doc.fodt
soffice --headless "-env:UserInstallation=file://$work/office" --convert-to docx doc.fodt >/dev/null 2>&1
printf '%%!PS\n/Helvetica findfont 24 scalefont setfont 72 700 moveto (Page) show showpage\n' >page.ps

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# cost LABEL INPUT OUTPUT: boxed and unboxed runs alternate, so load hits both alike.
cost() {
  local label=$1 input=$2 output=$3 boxed=() open=() i start
  "auto/scrivex" -i "$input" -o "$output" >/dev/null 2>&1 || true  # warms the state root
  for i in $(seq 1 "$runs"); do
    for mode in auto off; do
      rm -f "$output"
      start=$(now)
      "$mode/scrivex" -i "$input" -o "$output" >/dev/null 2>&1 || true
      [ -s "$output" ] || { echo "no $output from $mode/scrivex -i $input" >&2; exit 1; }
      if [ $mode = auto ]; then boxed+=($((($(now) - start) / 1000))); else open+=($((($(now) - start) / 1000))); fi
    done
  done
  local b o
  b=$(printf '%s\n' "${boxed[@]}" | median)
  o=$(printf '%s\n' "${open[@]}" | median)
  awk -v l="$label" -v b="$b" -v o="$o" 'BEGIN {
    printf "%-14s boxed %8.1f ms   unboxed %8.1f ms   cost %6.1f ms (%+.1f %%)\n", l, b / 1000, o / 1000, (b - o) / 1000, 100 * (b - o) / o }'
}

cost "text -> PDF" text.txt text.pdf
cost "image -> PDF" photo.jpg photo.pdf
cost "office -> PDF" doc.docx doc.pdf
if command -v chromium >/dev/null; then cost "HTML -> PDF" page.html page.pdf; fi

# Ghostscript by hand, with and without the box it would need.
box=(bwrap --unshare-all --die-with-parent --new-session --cap-drop ALL --ro-bind /usr /usr
  --symlink usr/lib /lib --symlink usr/lib64 /lib64 --symlink usr/bin /bin
  --ro-bind-try /etc/fonts /etc/fonts --ro-bind-try /etc/ghostscript /etc/ghostscript
  --proc /proc --dev /dev --tmpfs /tmp --bind "$work" "$work" --)
gs_run=(gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$work/gs.pdf" "$work/page.ps")
boxed=() open=()
for i in $(seq 1 $((runs * 3))); do
  start=$(now); "${box[@]}" "${gs_run[@]}"; boxed+=($((($(now) - start) / 1000)))
  start=$(now); "${gs_run[@]}"; open+=($((($(now) - start) / 1000)))
done
b=$(printf '%s\n' "${boxed[@]}" | median)
o=$(printf '%s\n' "${open[@]}" | median)
awk -v b="$b" -v o="$o" 'BEGIN {
  printf "%-14s boxed %8.1f ms   unboxed %8.1f ms   cost %6.1f ms (%+.1f %%)\n", "gs by hand", b / 1000, o / 1000, (b - o) / 1000, 100 * (b - o) / o }'
