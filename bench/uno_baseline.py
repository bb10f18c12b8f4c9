#!/usr/bin/python3
"""One LibreOffice, started once and kept, converting documents to PDF one
after the other over UNO: the strongest single-machine way a user would
script the same batch.

    bench/uno_baseline.py OUTDIR DOCUMENT...

Prints the seconds the batch took, office start included."""
import os
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def main():
    outdir, documents = sys.argv[1], sys.argv[2:]
    start = time.monotonic()
    profile = tempfile.mkdtemp(prefix="uno-profile-")
    pipe = "uno-baseline-%d" % os.getpid()
    office = subprocess.Popen(
        ["soffice", "--headless", "--invisible", "--norestore", "--nologo",
         "-env:UserInstallation=file://" + profile,
         "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(600):
        try:
            context = resolver.resolve(
                "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except NoConnectException:
            time.sleep(0.05)
    else:
        sys.exit("the office did not answer")
    desktop = context.ServiceManager.createInstanceWithContext(
        "com.sun.star.frame.Desktop", context)
    converted = 0
    for path in documents:
        doc = desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(os.path.abspath(path)), "_blank", 0,
            (prop("Hidden", True), prop("ReadOnly", True)))
        name = os.path.splitext(os.path.basename(path))[0] + ".pdf"
        doc.storeToURL(uno.systemPathToFileUrl(os.path.join(os.path.abspath(outdir), name)),
                       (prop("FilterName", "writer_pdf_Export"),))
        doc.close(True)
        converted += 1
    elapsed = time.monotonic() - start
    try:
        desktop.terminate()
    except Exception:  # the bridge goes with the office
        pass
    office.wait(timeout=30)
    subprocess.run(["rm", "-rf", profile])
    print("%.3f %d" % (elapsed, converted))


if __name__ == "__main__":
    main()
