#!/bin/bash
# Times the program on Word documents against the office's own command-line
# conversion started cold per file with a profile of its own: one document,
# and a batch with -D (one office for the batch) against as many cold runs.
# The program's state root is set up by a first run (printers, the office
# profile it copies), as an installed program's is.
#
#   bench/office_speed.sh BUILD_DIR [FILES] [RUNS]
set -eu
. "$(dirname "$0")/office_document.sh"
build=${1:?usage: office_speed.sh BUILD_DIR [FILES] [RUNS]}
files=${2:-8}
runs=${3:-3}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp SCRIVEX_HOME=$work/home
mkdir -p "$TMPDIR" "$SCRIVEX_HOME" "$work/batch"
cd "$work"

# A two-page Word document, and the batch's copies of it.
office_document doc "$work"
for i in $(seq "$files"); do cp doc.doc "batch/doc$i.doc"; done

ms() { date +%s%3N; }
# cold FILE: the office's own conversion, started with a new profile.
cold() {
  rm -rf "$work/profile"
  soffice --headless "-env:UserInstallation=file://$work/profile" --convert-to pdf --outdir cold \
    "$1" >/dev/null 2>&1
}
"$build/bin/scrivex" -i doc.doc -o setup.pdf >/dev/null || true

for run in $(seq "$runs"); do
  start=$(ms); "$build/bin/scrivex" -i doc.doc -o one.pdf >/dev/null || true; program=$(($(ms) - start))
  start=$(ms); cold doc.doc; office=$(($(ms) - start))
  echo "run $run, one file: scrivex $program ms, soffice cold $office ms," \
    "ratio $(awk "BEGIN {printf \"%.2f\", $program / $office}")"
  start=$(ms)
  "$build/bin/scrivex" -i "batch/*.doc" -o "batch/*.pdf" -D >/dev/null || true
  program=$(($(ms) - start))
  start=$(ms); for f in batch/*.doc; do cold "$f"; done; office=$(($(ms) - start))
  echo "run $run, $files files: scrivex -D $program ms, soffice cold $office ms," \
    "speed-up $(awk "BEGIN {printf \"%.2f\", $office / $program}")"
  [ "$(ls batch/*.pdf | wc -l)" = "$files" ] || { echo "the batch did not convert"; exit 1; }
  rm -f batch/*.pdf
done
