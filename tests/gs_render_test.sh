#!/bin/bash
# Renders gs-made PDF, PostScript and EPS files through libscrivex's exported
# converter and the program, finishes TIFF outputs (fax and PackBits
# re-encoding, blank-page removal), and checks the results with tiffinfo,
# pdfinfo and identify.
. "$(dirname "$0")/lib.sh"
RUN=$BIN/../tests/pstoimage_run
SCRIVEX=$BIN/scrivex
work=$WORK out=$WORK/out fin=$WORK/fin
mkdir -p "$out" "$fin"
equals() { [ "$1" = "$2" ] || { echo "  got '$1', want '$2'"; return 1; }; }
decodes() { tiffinfo -D "$1" >/dev/null 2>&1; }
render() { "$RUN" "$@" >"$work/last.log" 2>&1; }
fails() { ! "$@" >/dev/null 2>&1; }
identify1() { identify -format "$1" "$2" 2>/dev/null; }
names() { (cd "$out" && ls -d $1 | tr '\n' ' '); }
# Page count, then the distinct size, depth, coding and resolution lines of a TIFF.
tiff() {
  local info
  info=$(tiffinfo "$1" 2>/dev/null)
  printf '%s|' "$(grep -c 'TIFF Directory' <<<"$info")"
  grep -E 'Image Width|Bits/Sample|Samples/Pixel|Compression Scheme|Resolution:' <<<"$info" |
    sed 's/^ *//' | sort -u | paste -sd'|'
}

# A five-page letter PDF, a ten-page DSC PostScript file and an EPS, made by gs.
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/five.pdf" -c \
  "<< /PageSize [612 792] >> setpagedevice 1 1 5 { /Helvetica findfont 48 scalefont setfont \
   72 600 moveto (Page ) show 3 string cvs show 0 0 moveto 100 100 rlineto stroke showpage } for"
{
  printf '%%!PS-Adobe-3.0\n%%%%BoundingBox: 0 0 288 144\n%%%%Pages: 10\n%%%%EndComments\n'
  for p in 1 2 3 4 5 6 7 8 9 10; do
    printf '%%%%Page: %d %d\n<< /PageSize [288 144] >> setpagedevice\n' $p $p
    printf '0 0 moveto %d 0 rlineto 0 40 rlineto closepath fill showpage\n' $((p * 20))
  done
  printf '%%%%EOF\n'
} >"$work/ten.ps"
printf '%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 200 100\n10 10 80 40 rectfill\n%%%%EOF\n' \
  >"$work/pic.eps"

# Only the ten C functions leave the library.
exports=$(nm -D --defined-only "$BIN/libscrivex.so" | awk '$2 ~ /[TW]/ {print $3}' | grep -v '^_init$\|^_fini$' | sort | tr '\n' ' ')
check "exports of libscrivex.so" equals "$exports" \
  "Inkwell_ChangePrinterSettings Inkwell_ConvertToImage Inkwell_GetWrittenFile Inkwell_KillProcess Inkwell_SetOptions PSToImageConverter PSToImageGetInformation PSToImageGetPSExtent PSToImageGetWrittenFile PSToImageSetProgressCBFunc "

check "pdf -> tiff g4" render "$work/five.pdf" "$out/g4.tif" bits=1 comp=4
check "g4 tiff" equals "$(tiff "$out/g4.tif")" "5|Bits/Sample: 1|Compression Scheme: CCITT Group 4|\
Image Width: 2550 Image Length: 3300|Resolution: 300, 300 pixels/inch|Samples/Pixel: 1"

# 24-bit PackBits from PostScript sized by its bounding box; an unrelated
# outline.tif beside it stays as it was.
cp "$out/g4.tif" "$out/outline.tif"
sum_before=$(md5sum <"$out/outline.tif")
check "ps -> tiff24 packbits" render "$work/ten.ps" "$out/out.tif" bits=24 comp=32773 xres=100 yres=100
check "tiff24" equals "$(tiff "$out/out.tif")" "10|Bits/Sample: 8|Compression Scheme: PackBits|\
Image Width: 400 Image Length: 200|Resolution: 100, 100 pixels/inch|Samples/Pixel: 3"
check "outline.tif untouched" equals "$(md5sum <"$out/outline.tif")" "$sum_before"
check "ps -> tiff gray, pages 2-4" render "$work/ten.ps" "$out/gray.tif" bits=8 xres=72 yres=72 first=2 last=4
check "gray tiff" equals "$(tiff "$out/gray.tif" | cut -d'|' -f1,2)" "3|Bits/Sample: 8"

# PNG pages numbered from 1.
check "pdf -> png" render "$work/five.pdf" "$out/page.png" xres=72 yres=72
check "png pages" equals "$(names 'page_*')" \
  "page_0001.png page_0002.png page_0003.png page_0004.png page_0005.png "
check "png page 5" equals "$(identify1 '%m %wx%h %z %[channels]' "$out/page_0005.png")" "PNG 612x792 8 srgb"

# JPEG pages of a range; a single page of a BMP.
check "pdf -> jpeg" render "$work/five.pdf" "$out/j.jpg" xres=50 yres=50 first=2 last=3

# EPS fits its page; PDF, PostScript and EPS outputs.
check "eps -> pcx" render "$work/pic.eps" "$out/pic.pcx" bits=8 xres=144 yres=144
check "eps size" equals "$(identify1 '%m %wx%h' "$out/pic_0001.pcx")" "PCX 400x200"
check "ps -> pdf" render "$work/ten.ps" "$out/ten.pdf" xres=72 yres=72
check "pdf pages" equals "$(pdfinfo "$out/ten.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')" 10
check "pdf -> ps" render "$work/five.pdf" "$out/five.ps" xres=72 yres=72
check "ps output" equals "$(head -c 10 "$out/five.ps")" "%!PS-Adobe"
check "pdf -> eps" render "$work/five.pdf" "$out/e.eps" xres=72 yres=72 first=1 last=2
check "eps output" grep -q 'EPSF' "$out/e_0002.eps"

# GIF pages are real GIF files; DCX and MNG hold every page.
check "pdf -> gif" render "$work/five.pdf" "$out/g.gif" xres=30 yres=30 first=4 last=5
check "gif pages" equals "$(identify1 '%m ' "$out/g_0001.gif")$(identify1 '%m' "$out/g_0002.gif")" "GIF GIF"
check "pdf -> dcx" render "$work/five.pdf" "$out/all.dcx" xres=30 yres=30 bits=1
check "dcx frames" equals "$(identify "$out/all.dcx" 2>/dev/null | grep -c DCX)" 5
check "pdf -> mng" render "$work/five.pdf" "$out/all.mng" xres=30 yres=30
check "mng frames" equals "$(identify "$out/all.mng" 2>/dev/null | grep -c MNG)" 5
check "no temporary pages left" equals "$(ls -A "$TMPDIR" | wc -l)" 0

# A page range past the end fails.
check "range past the end fails" fails "$RUN" "$work/five.pdf" "$out/past.png" xres=20 yres=20 first=8 last=9

# The program itself: the same road from its command line.
cli() { "$SCRIVEX" "$@" >"$work/cli.log" 2>&1; grep -q 'result = Successful$' "$work/cli.log"; }
mean() { identify -format '%[fx:mean]' "$1" 2>/dev/null; }
# A page range of a PostScript input: the selected pages, each once, in order.
check "cli ps range" cli -i "$work/ten.ps" -o "$out/cut.png" -r 72 -g 2-3
check "cli ps range files" equals "$(names 'cut*')" "cut_0001.png cut_0002.png "
check "cli ps range order" awk -v a="$(mean "$out/cut_0001.png")" -v b="$(mean "$out/cut_0002.png")" \
  'BEGIN { exit !(a > b) }'
check "cli single page -G" cli -i "$work/five.pdf" -o "$out/single.png" -r 36 -g 3 -G
check "cli single page name" equals "$(names 'single*')" "single.png "
check "cli jpeg -q -y" cli -i "$work/five.pdf" -o "$out/cq.jpg" -r 40 -g 1 -q 30 -y
check "cli jpeg quality and gray" equals "$(identify1 '%Q %[channels]' "$out/cq_0001.jpg")" "30 gray"

# TIFF finishing. Letter pages: text, empty, a few tiny dots, text.
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/four.pdf" -c \
  "<< /PageSize [612 792] >> setpagedevice \
   /text { /Helvetica findfont 14 scalefont setfont 600 -20 100 { 72 exch moveto \
     (The quick brown fox jumps over the lazy dog again and again.) show } for } def \
   text showpage showpage \
   5 { rand 400 mod 100 add rand 500 mod 150 add 0.6 0 360 arc fill } repeat showpage \
   text showpage"
# Fax code 88881: 1275 x 1650 pages at 150 dpi become 1728 x 2236 at 204 x 196, Group 4.
# (At 200 dpi gs itself would already widen 1700 pixels to the fax width.)
check "cli fax" cli -i "$work/four.pdf" -o "$fin/fax.tif" -b 1 -c 88881 -r 150
check "fax tiff" equals "$(tiff "$fin/fax.tif")" "4|Bits/Sample: 1|Compression Scheme: CCITT Group 4|\
Image Width: 1728 Image Length: 2236|Resolution: 204, 196 pixels/inch|Samples/Pixel: 1"
check "fax pages decode" decodes "$fin/fax.tif"
# PackBits keeps every page under the same name and leaves no temporary file.
check "cli packbits" cli -i "$work/four.pdf" -o "$fin/pack.tif" -b 1 -c 32773 -r 100
check "packbits tiff" equals "$(tiff "$fin/pack.tif" | cut -d'|' -f1,3)" "4|Compression Scheme: PackBits"
check "no temporary files left" equals "$(ls -A "$fin" | tr '\n' ' ')" "fax.tif pack.tif "

# -m: the empty page and the page of dots go, the two text pages stay.
gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=tiffg4 -r150 -sOutputFile="$work/scan.tif" "$work/four.pdf"
cp "$work/scan.tif" "$work/scan-copy.tif"
check "cli -m" cli -i "$work/scan.tif" -o "$fin/kept.tif" -m
check "two pages kept" equals "$(tiff "$fin/kept.tif" | cut -d'|' -f1)" 2
check "input untouched" cmp -s "$work/scan.tif" "$work/scan-copy.tif"
# A TIFF cut before its last pages' directories is an error, not a crash, and
# writes nothing (no page may be dropped silently).
head -c $(($(stat -c %s "$work/scan.tif") / 2)) "$work/scan.tif" >"$work/half.tif"
"$SCRIVEX" -i "$work/half.tif" -o "$fin/half.tif" -m >"$work/cli.log" 2>&1
check "cut input exits without a signal" test $? -lt 128
check "cut input is reported" grep -qF "error loading $work/half.tif" "$work/cli.log"
check "cut input writes nothing" test ! -e "$fin/half.tif"

# PDF to PDF keeps the text under a transparent object as text, not as a picture.
cat >"$work/glass.raw" <<'EOF'
%PDF-1.4
1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj
2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj
3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 612 792]/Resources<</Font<</F1 5 0 R>>/ExtGState<</G 6 0 R>>>>/Contents 4 0 R>>endobj
4 0 obj<</Length 95>>stream
BT /F1 24 Tf 72 700 Td (Searchable words under glass) Tj ET
/G gs 1 0 0 rg 60 680 400 50 re f
endstream endobj
5 0 obj<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>endobj
6 0 obj<</Type/ExtGState/ca 0.5>>endobj
trailer<</Root 1 0 R>>
%%EOF
EOF
qpdf "$work/glass.raw" "$work/glass.pdf" 2>/dev/null
check "cli PDF with a transparent object" cli -i "$work/glass.pdf" -o "$fin/glass.pdf"
check "its text stays text" eval 'pdffonts "$fin/glass.pdf" | grep -q Helvetica &&
  pdftotext "$fin/glass.pdf" - | grep -q "Searchable words under glass" &&
  [ -z "$(pdfimages -list "$fin/glass.pdf" | tail -n +3)" ]'

finish gs_render_test
