#!/usr/bin/env bash
# Word, Excel, PowerPoint and Visio documents end to end through their
# servers and the office bridge. The inputs are made by the office from flat
# ODF; the office cannot write .vsd, but it reads drawings by their content,
# so a Visio XML drawing named .vsd takes the Visio road.
. "$(dirname "$0")/lib.sh"
S=$BIN/scrivex
NS='xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"'
# flat KIND BODY NAME.EXT: the office converts a flat ODF document.
flat() {
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<office:document %s
 office:mimetype="application/vnd.oasis.opendocument.%s"><office:automatic-styles>
 <style:style style:name="B" style:family="paragraph"><style:paragraph-properties fo:break-before="page"/>
 </style:style></office:automatic-styles><office:body>%s</office:body></office:document>\n' \
    "$NS" "$1" "$2" >"${3%.*}.fod${1:0:1}"
  soffice --headless "-env:UserInstallation=file://$WORK/maker" --convert-to "${3##*.}" \
    "${3%.*}.fod${1:0:1}" >/dev/null 2>&1
}
pages() { for i in $(seq "$2"); do printf "<text:p text:style-name=\"B\">$1</text:p>" "$i"; done; }
flat text "<office:text>$(pages 'Page %d' 3)</office:text>" w.doc
flat text "<office:text>$(pages 'Page %d' 3)</office:text>" w.rtf
flat text "<office:text>$(pages 'Long %d' 5000)</office:text>" big.doc
cell() { echo "<table:table table:name=\"$1\"><table:table-row>$2</table:table-row></table:table>"; }
flat spreadsheet "<office:spreadsheet>$(cell First '<table:table-cell office:value-type="string"><text:p>Sheet one</text:p></table:table-cell>')
$(cell Empty '<table:table-cell/>')$(cell Third '<table:table-cell office:value-type="string"><text:p>Sheet three</text:p></table:table-cell>')
</office:spreadsheet>" book.xls
flat spreadsheet "<office:spreadsheet>$(cell Only '<table:table-cell table:formula="of:=1+2"/>')</office:spreadsheet>" one.xls
slide() { echo "<draw:page draw:name=\"p$1\"><draw:frame svg:x=\"2cm\" svg:y=\"2cm\" svg:width=\"12cm\"
  svg:height=\"3cm\"><draw:text-box><text:p>Slide $1</text:p></draw:text-box></draw:frame></draw:page>"; }
flat presentation "<office:presentation>$(slide 1)$(slide 2)$(slide 3)</office:presentation>" show.ppt
cat >d.vsd <<'EOF'
<?xml version="1.0" encoding="utf-8"?>
<VisioDocument xmlns="http://schemas.microsoft.com/visio/2003/core"><Pages><Page ID="0" NameU="Page-1">
<PageSheet><PageProps><PageWidth>8.5</PageWidth><PageHeight>11</PageHeight></PageProps></PageSheet>
<Shapes><Shape ID="1" Type="Shape"><XForm><PinX>4</PinX><PinY>8</PinY><Width>3</Width><Height>1</Height>
<LocPinX>1.5</LocPinX><LocPinY>0.5</LocPinY></XForm><Geom IX="0"><MoveTo IX="1"><X>0</X><Y>0</Y></MoveTo>
<LineTo IX="2"><X>3</X><Y>0</Y></LineTo><LineTo IX="3"><X>3</X><Y>1</Y></LineTo></Geom>
<Text>Drawn in Visio form</Text></Shape></Shapes></Page></Pages></VisioDocument>
EOF

ok() { "$S" "$@" >out.txt 2>err.txt; grep -q "result = Successful" out.txt; }
text() { pdftotext "$1" - 2>/dev/null | tr '\n' ' '; }
npages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }
size() { pdfinfo "$1" 2>/dev/null | awk '/^Page size:/ {printf "%.0fx%.0f", $3, $5}'; }

check ".doc, .rtf, .ppt and .vsd print whole, with -t as the title" eval 'ok -i w.doc -o w.pdf -t Report &&
  [ "$(npages w.pdf)" = 3 ] && pdfinfo w.pdf | grep -q "Title: *Report" && ok -i w.rtf -o r.pdf &&
  [[ "$(text r.pdf)" == *"Page 3"* ]] && ok -i show.ppt -o s.pdf && [[ "$(text s.pdf)" == *"Slide 3"* ]] &&
  ok -i d.vsd -o d.pdf && [[ "$(text d.pdf)" == *"Drawn in Visio form"* ]]'
check "Word -g 2-3 prints pages 2 and 3" eval 'ok -i w.doc -o g.pdf -g 2-3 &&
  [ "$(npages g.pdf)" = 2 ] && [[ "$(text g.pdf)" == *"Page 2"*"Page 3"* ]]'
check "-z scales onto Letter and A4, one number for both sides; -d ignores it" eval '
  ok -i w.doc -o zl.pdf -z 12240x15840 && [ "$(size zl.pdf)" = 612x792 ] &&
  ok -i w.doc -o za.pdf -z 11907x16839 && [ "$(size za.pdf)" = 595x842 ] &&
  ok -i w.doc -o zs.pdf -z 10000 && [ "$(size zs.pdf)" = 500x500 ] &&
  ok -i w.doc -o zd.pdf -z 10000 -d -g 3 && [ "$(size zd.pdf)" = "$(size w.pdf)" ] &&
  [ "$(npages zd.pdf)" = 1 ] && [[ "$(text zd.pdf)" == "Page 3"* ]]'
check "PowerPoint -g 2-3 and Excel -g 2: those pages" eval 'ok -i show.ppt -o sg.pdf -g 2-3 &&
  [[ "$(text sg.pdf)" == "Slide 2 "*"Slide 3 "* ]] && [ "$(npages sg.pdf)" = 2 ] &&
  ok -i book.xls -o xg.pdf -g 2 && [ "$(npages xg.pdf)" = 1 ] && [[ "$(text xg.pdf)" == *"Sheet three"* ]]'

# Excel: the empty second sheet is left out; a user's own out-0001.pdf
# survives -E 0, whose sheet files are private.
echo mine >out-0001.pdf
check "-E 0: two sheets joined, A3 by -f 8, no sheet file left; each its own on Inkwell too" eval 'ok -i book.xls -o out.pdf -f 8 &&
  [ "$(npages out.pdf)" = 2 ] && [[ "$(text out.pdf)" == *"Sheet one"*"Sheet three"* ]] &&
  [ "$(size out.pdf)" = 842x1191 ] && [ "$(cat out-0001.pdf)" = mine ] && [ ! -e out-0002.pdf ] &&
  ok -i book.xls -o ink.pdf -e && [[ "$(text ink.pdf)" == *"Sheet one"*"Sheet three"* ]]'
check "-E 3 keeps the sheet files beside the joined output" eval 'ok -i book.xls -o e3.pdf -E 3 &&
  [ "$(npages e3.pdf)" = 2 ] && [[ "$(text e3-0002.pdf)" == *"Sheet three"* ]] && [ ! -e e3-0003.pdf ]'
check "-E 1: sheet files only; -E 2: one job of all sheets" eval 'ok -i book.xls -o e1.pdf -E 1 &&
  [ ! -e e1.pdf ] && [[ "$(text e1-0001.pdf)" == *"Sheet one"* ]] && ok -i book.xls -o e2.pdf -E 2 &&
  [ "$(npages e2.pdf)" = 2 ] && [ ! -e e2-0001.pdf ]'
check "one worksheet: no sheet names; -f letter: Letter, -f 11: A5, -f abc refused" eval '
  ok -i one.xls -o one.pdf -f letter && [ "$(size one.pdf)" = 612x792 ] &&
  ok -i one.xls -o a5.pdf -f 11 && [ "$(size a5.pdf)" = 420x595 ] && [ ! -e one-0001.pdf ] &&
  { "$S" -i one.xls -o abc.pdf -f abc >/dev/null 2>err.txt; [ $? = 255 ]; } &&
  grep -q "^-f .abc.: accepted" err.txt && [ ! -e abc.pdf ]'
check "a custom -f gives the sheet exactly that paper, in inches, points and millimetres, on Inkwell too" eval '
  ok -i one.xls -o in.pdf -f 11x17in && [ "$(size in.pdf)" = 792x1224 ] &&
  ok -i one.xls -o pt.pdf -f 500x700pt && [ "$(size pt.pdf)" = 500x700 ] &&
  ok -i one.xls -o mm.pdf -f 100x150mm && [ "$(size mm.pdf)" = 283x425 ] &&
  ok -i one.xls -o ink.pdf -f 11x17in -e && [ "$(size ink.pdf)" = 792x1224 ]'

check "images: .doc to TIFF pages, .xls sheets to PNG, .vsd to JPEG, .ppt to EMF" eval '
  ok -i w.doc -o w.tif && [ "$(tiffinfo w.tif 2>/dev/null | grep -c "Image Width")" = 3 ] &&
  ok -i book.xls -o b.png && [ "$(identify -format %m b-0002_0001.png)" = PNG ] &&
  ok -i d.vsd -o d.jpg && [ "$(identify -format %m d_0001.jpg)" = JPEG ] &&
  ok -i show.ppt -o s.emf -g 2 && [ "$(head -c 44 s_0001.emf | tail -c 4)" = " EMF" ]'

# A program without the bridge's helper: as if the office were not installed.
mkdir noffice
for f in "$BIN"/*; do [ "${f##*/}" = office_bridge.py ] || ln -s "$f" noffice/; done
rm noffice/scrivex && cp "$BIN/scrivex" noffice/
check "no office: the install lines, nothing printed" eval 'noffice/scrivex -i w.doc -o n.pdf |
  grep -qx "Please install MS Office product in order to convert MS Office documents!!!" &&
  noffice/scrivex -i d.vsd -o n.pdf | grep -qx "Please install MS Visio application in order to convert MS Visio documents!!!" &&
  [ ! -e n.pdf ]'

# The offices of this run, by process id, while it runs.
offices() {
  local p
  for p in $(pgrep -x soffice.bin); do grep -qa "$TMPDIR" "/proc/$p/cmdline" 2>/dev/null && echo "$p"; done
}
watch_offices() { while :; do offices >>seen.txt; sleep 0.1; done; }
mkdir in
cp w.doc in/a.doc && cp w.doc in/b.doc
# runs N ARGS...: the run converts both and N offices served it.
runs() {
  local n=$1 w
  shift
  : >seen.txt
  watch_offices & w=$!
  "$S" -i "in/*.doc" -o "in/*.pdf" "$@" >out.txt
  kill $w
  [ "$(grep -c Successful out.txt)" = 2 ] && [ "$(sort -u seen.txt | wc -l)" = "$n" ]
}
check "-D: one office for two documents; without: one each" eval 'runs 1 -D && runs 2'

# The office killed while it prints the long document: that one is converted
# again by the office's own converter, the next converts on a new office.
cp big.doc in/a.doc
SCRIVEX_TRACE=1 "$S" -i "in/*.doc" -o "in/*.pdf" -D >out.txt 2>err.txt &
run=$!
# Killed once it has the document open: a machine under load may still be
# starting it after any fixed time.
opened() {
  local p
  for p in $(offices); do ls -l "/proc/$p/fd" 2>/dev/null | grep -q '/a\.doc$' && return 0; done
  return 1
}
until opened || ! kill -0 $run 2>/dev/null; do sleep 0.05; done
kill -9 $(offices) 2>/dev/null
wait $run
check "a killed office: its document converted again, the next on a new office" eval '
  grep -q "a.doc ==> .*result = Successful" out.txt && [ "$(npages in/a.pdf)" = 5000 ] &&
  grep -q "b.doc ==> .*result = Successful" out.txt &&
  grep -q "a.doc: the office stopped .*converted again with the office.s own converter" err.txt'
check "no office outlives its run" eval '[ -z "$(offices)" ] && ! pgrep -f office_bridge.py -a |
  grep -q "$TMPDIR"'

finish office_apps_test
