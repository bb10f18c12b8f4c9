#!/bin/bash
# Times the office bridge against the office's own command-line conversion:
# the bridge's office start, a small .docx as its first document and another
# as the second on the kept office, against `soffice --headless --convert-to
# pdf` started cold with a new profile of its own (as every run must have),
# and again with that profile made already.
#
#   bench/office_bridge.sh BUILD_DIR [RUNS]
set -eu
build=${1:?usage: office_bridge.sh BUILD_DIR [RUNS]}
runs=${2:-5}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"
cd "$work"

for name in first second; do
  printf '<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.text">
 <office:body><office:text><text:p>The %s document.</text:p></office:text></office:body>
</office:document>\n' "$name" >"$name.fodt"
  soffice --headless "-env:UserInstallation=file://$work/maker" --convert-to docx "$name.fodt" \
    >/dev/null 2>&1
done

ms() { date +%s%3N; }
for run in $(seq "$runs"); do
  "$build/tests/office_bridge_bench" first.docx second.docx | sed "s/^/bridge run $run: /"
  rm -rf profile
  start=$(ms)
  soffice --headless "-env:UserInstallation=file://$work/profile" --convert-to pdf first.docx \
    >/dev/null 2>&1
  echo "soffice run $run: cold, new profile: $(($(ms) - start)) ms"
  start=$(ms)
  soffice --headless "-env:UserInstallation=file://$work/profile" --convert-to pdf second.docx \
    >/dev/null 2>&1
  echo "soffice run $run: cold, profile made: $(($(ms) - start)) ms"
done
