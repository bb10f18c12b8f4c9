# A stand-in for office_bridge.py that the bridge's tests start instead: the
# same lines on standard input and output, no office. What it does with a
# request is written in the document it is asked about (its first line):
#   ok [parts]       writes a one-page PDF and answers "ok <parts>"
#   ok-without-pdf   answers "ok 0" and writes nothing
#   error|fatal|gone <reason>   answers so; after fatal and gone it ends
#   gone-when-kept   "gone" when this helper served a request before, else ok
#   die              ends without an answer, saying why on standard error
#   hang             never answers
#   wait <file>      answers ok once the file exists
# To inspect it answers "ok" and the document's further lines, one a field.
# Every PDF it writes carries, as the comment line "%request <JSON>", the
# request's fields as it decoded them, which helper it was and its count of
# requests. SCRIVEX_FAKE_OFFICE_START="fatal <reason>" fails its start.
import json
import os
import secrets
import sys
import time
from urllib.parse import quote, unquote


def answer(*fields):
    sys.stdout.write("\t".join(quote(str(f), safe=" /.,:;()-_") for f in fields) + "\n")
    sys.stdout.flush()


def write_pdf(path, record):
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"]
    out = b"%PDF-1.4\n%request " + json.dumps(record).encode("ascii") + b"\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)


def main():
    start = os.environ.get("SCRIVEX_FAKE_OFFICE_START", "")
    if start:
        answer(*start.split(" ", 1))
        return 1
    # The real helper's office leaves its profile here.
    os.makedirs(os.path.join(sys.argv[2], "profile"), exist_ok=True)
    peer = secrets.token_hex(8)
    served = 0
    answer("ready")
    for line in sys.stdin:
        fields = [unquote(f) for f in line.rstrip("\n").split("\t")]
        if fields[0] == "quit":
            return 0
        served += 1
        with open(fields[1], encoding="utf-8") as f:
            lines = f.read().split("\n")
        verb, _, rest = lines[0].partition(" ")
        if verb == "gone-when-kept":
            verb, rest = ("gone", "it had ended before") if served > 1 else ("ok", "")
        if verb in ("error", "fatal", "gone"):
            answer(verb, rest)
            if verb != "error":
                return 1
        elif verb == "die":
            sys.stderr.write("the stand-in office crashed\n")
            sys.stderr.flush()
            os._exit(3)
        elif verb == "hang":
            time.sleep(3600)
        elif fields[0] == "inspect":
            answer("ok", *lines[1:])
        else:
            if verb == "wait":
                while not os.path.exists(rest):
                    time.sleep(0.01)
            if verb != "ok-without-pdf":
                write_pdf(fields[2], {"peer": peer, "served": served, "fields": fields})
            answer("ok", rest if verb == "ok" and rest else 0)
    return 0


if __name__ == "__main__":
    sys.exit(main())
