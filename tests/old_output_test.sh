#!/usr/bin/env bash
# One table over every writer: a conversion that fails never changes an
# existing output and leaves no staging file behind.
. "$(dirname "$0")/lib.sh"
RUN=$BIN/../tests/pstoimage_run

# A program directory of our own whose image converter writes part of its
# output and then fails.
mkdir prog && cp -a "$BIN/." prog/
rm prog/pictor.dll  # a link to the real converter: never write through it
cat >prog/pictor.dll <<'SH'
#!/bin/sh
for last; do :; done
echo partial >"$last"
exit 1
SH
chmod +x prog/pictor.dll

gs -q -sDEVICE=pdfwrite -o three.pdf -c "1 1 3 { pop 100 100 moveto (x) show showpage } for"
# So thin that, widened to a fax page, it would exceed the page size limit.
gs -q -sDEVICE=pdfwrite -o thin.pdf -c "<</PageSize [10 600]>> setpagedevice 0 0 5 600 rectfill showpage"
gs -q -sDEVICE=tiffg4 -r50 -o blank.tif -c "showpage showpage"
head -c 300 three.pdf >damaged-source.pdf
head -c 150 blank.tif >damaged.tif
printf '%%!PS\nshowpage\n/undefined-thing load\nshowpage\n' >broken.ps
printf '%%!PS-Adobe-3.0\n%%%%EndComments\n%%%%Page: (open 1\nshowpage\n' >badlabel.ps

# No success line, and a failure line or a non-zero exit.
failed() { ! grep -q 'result = \(Successful\|1\)$' out.txt && { grep -q 'result = ' out.txt || [ "$1" -ne 0 ]; }; }

# name | existing output | command (the existing output is $OUT)
while IFS='|' read -r name existing command; do
  [ -n "$name" ] || continue
  if [ "$existing" = damaged.pdf ]; then cp damaged-source.pdf "$existing"; else echo "earlier $name" >"$existing"; fi
  before=$(md5sum <"$existing")
  OUT=$WORK/$existing
  eval "$command" </dev/null >out.txt 2>&1
  rc=$?
  check "$name: reports failure" failed "$rc"
  check "$name: existing output unchanged" test "$(md5sum <"$existing")" = "$before"
  check "$name: no staging file left" test -z "$(ls -A | grep '^\.scrivex-')$(ls -A "$TMPDIR")"
done <<'TABLE'
Ghostscript, one-file PDF|keep.pdf|"$BIN/scrivex" -i broken.ps -o "$OUT"
Ghostscript, library call|keep.tif|"$RUN" none.pdf "$OUT"
TIFF fax finishing, library call|fax.tif|"$RUN" thin.pdf "$OUT" bits=1 comp=88881 xres=72 yres=72
TIFF fax finishing, program|fax.tif|"$BIN/scrivex" -i thin.pdf -o "$OUT" -b 1 -c 88881 -r 72
Blank pages, every page blank|keep.tif|"$BIN/scrivex" -i blank.tif -o "$OUT" -m
Blank pages, damaged input|keep.tif|"$BIN/scrivex" -i damaged.tif -o "$OUT" -m
PDF merge into a damaged PDF|damaged.pdf|"$BIN/scrivex" -p 2 -i three.pdf -o "$OUT"
PDF merge of a broken input|keep.pdf|"$BIN/scrivex" -p 1 -i broken.ps -o "$OUT"
Document information on a damaged PDF|damaged.pdf|"$BIN/tools.cfg" -i "$OUT" -o "$OUT" -t Title
Image converter, joined pages|keep.dcx|prog/scrivex -i three.pdf -o "$OUT" -r 20
Image converter, one page|keep_0001.gif|prog/scrivex -i three.pdf -o "$WORK/keep.gif" -r 20 -g 1
Page selector|keep.ps|"$BIN/psselect" -q -p1 badlabel.ps "$OUT"
TABLE

finish old_output_test
