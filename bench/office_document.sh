# Sourced by the benchmarks: office_document TYPE WORK makes doc.TYPE in the
# current folder, a text document of two pages (an .fodt the office converts,
# with a profile of its own in WORK/maker).
office_document() {
  printf '<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.text"><office:body><office:text>
 <text:h>Benchmark</text:h><text:p>%s</text:p></office:text></office:body></office:document>\n' \
    "$(for _ in $(seq 200); do printf 'Words to lay out over the pages. '; done)" >doc.fodt
  soffice --headless "-env:UserInstallation=file://$2/maker" --convert-to "$1" doc.fodt >/dev/null 2>&1
}
