# The office bridge's helper, run with the system's python3 (its uno module):
# starts one headless office whose profile and scratch files lie in the
# folder it is given, talks UNO to it over a pipe and exports documents as
# PDF on request.
#
# One request or answer a line on standard input and output, fields separated
# by tabs, each percent-encoded:
#   export <input> <output> <page range> <parts> <scale percent> [<papers>]
#   inspect <input>
#   quit
# <papers>: "n:WxH,..." gives sheet n a paper of W by H hundredths of a mm.
# Answers: "ready", "ok <parts>" (the sheets or slides the document has),
# to inspect "ok <kind> <parts>" and for a workbook six fields a sheet: name,
# constants (0/1), formulas (0/1), charts, other drawn objects, shapes;
# "error <reason>" (the office lives on), "fatal <reason>" (the office died
# over the request) and "gone <reason>" (it had died before it); after the
# last two the helper ends.
import ctypes
import os
import secrets
import subprocess
import sys
import time
from urllib.parse import quote, unquote

import uno
from com.sun.star.beans import PropertyValue

RESTART_CODE = 81  # a first start with a new profile asks to be run again
TEXT_FILTERS = ("Text", "Text (encoded)", "Text - txt - csv (StarCalc)")
PLAIN_TEXT_TYPES = (".txt", ".csv", ".tsv", ".tab")


def answer(*fields):
    sys.stdout.write("\t".join(quote(str(f), safe=" /.,:;()-_") for f in fields) + "\n")
    sys.stdout.flush()


def die_with_parent():
    ctypes.CDLL(None, use_errno=True).prctl(1, 9)  # PR_SET_PDEATHSIG, SIGKILL


def props(**values):
    out = []
    for name, value in values.items():
        p = PropertyValue()
        p.Name, p.Value = name, value
        out.append(p)
    return tuple(out)


# Writer's link update mode 0 is "never"; Calc's "never" is 1.
SAFE_SETTINGS = (
    ("/org.openoffice.Office.Common/Security/Scripting",
     (("BlockUntrustedRefererLinks", True), ("DisableMacrosExecution", True),
      ("MacroSecurityLevel", 3))),
    ("/org.openoffice.Office.Writer/Content/Update", (("Link", 0),)),
    ("/org.openoffice.Office.Calc/Content/Update", (("Link", 1),)),
)


class Office:
    def __init__(self, program, folder):
        self.program = program
        self.profile = uno.systemPathToFileUrl(os.path.join(folder, "profile"))
        # Its scratch files too stay in the folder, which goes with the run
        # even when the office is killed.
        self.env = dict(os.environ, TMPDIR=os.path.join(folder, "tmp"))
        os.makedirs(self.env["TMPDIR"], exist_ok=True)
        self.pipe = "scrivex-%d-%s" % (os.getpid(), secrets.token_hex(8))
        self.process = None
        self.desktop = None

    def spawn(self):
        args = [self.program, "--headless", "--invisible", "--nologo", "--norestore",
                "--nodefault", "--nolockcheck", "--nofirststartwizard",
                "-env:UserInstallation=" + self.profile,
                "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe]
        # Its output goes with ours to the caller's record of what we wrote.
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=sys.stderr,
                                        env=self.env, preexec_fn=die_with_parent)

    def start(self):
        self.spawn()
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        url = "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe
        restarted = False
        while True:
            code = self.process.poll()
            if code == RESTART_CODE and not restarted:
                restarted = True
                self.spawn()
                continue
            if code is not None:
                raise OfficeGone("the office ended at its start (exit code %d)" % code)
            try:
                context = resolver.resolve(url)
                break
            except Exception:  # not listening yet
                time.sleep(0.05)
        self.desktop = context.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", context)
        # A document opened for changes in memory (a choice of sheets) must
        # leave no lock file beside it; the profile is ours alone.
        provider = context.ServiceManager.createInstanceWithContext(
            "com.sun.star.configuration.ConfigurationProvider", context)
        misc = provider.createInstanceWithArguments(
            "com.sun.star.configuration.ConfigurationUpdateAccess",
            props(nodepath="/org.openoffice.Office.Common/Misc"))
        for name in ("UseLocking", "UseDocumentOOoLockFile", "UseDocumentSystemFileLocking"):
            misc.setPropertyValue(name, False)
        misc.commitChanges()
        # Documents come from outside: their links are never updated or
        # followed, links from untrusted referers are blocked, macros never run.
        for path, values in SAFE_SETTINGS:
            node = provider.createInstanceWithArguments(
                "com.sun.star.configuration.ConfigurationUpdateAccess", props(nodepath=path))
            for name, value in values:
                node.setPropertyValue(name, value)
            node.commitChanges()

    def alive(self):
        if self.process.poll() is not None:
            return False
        try:
            self.desktop.getCurrentComponent()
            return True
        except Exception:
            return False

    def quit(self):
        try:
            self.desktop.terminate()
            self.process.wait(5)
        except Exception:
            pass


class OfficeGone(Exception):
    pass


class BadDocument(Exception):
    pass


def export_filter(doc):
    families = (("com.sun.star.sheet.SpreadsheetDocument", "calc_pdf_Export"),
                ("com.sun.star.presentation.PresentationDocument", "impress_pdf_Export"),
                ("com.sun.star.drawing.DrawingDocument", "draw_pdf_Export"),
                ("com.sun.star.text.WebDocument", "writer_web_pdf_Export"),
                ("com.sun.star.text.GlobalDocument", "writer_globaldocument_pdf_Export"),
                ("com.sun.star.text.TextDocument", "writer_pdf_Export"),
                ("com.sun.star.formula.FormulaProperties", "math_pdf_Export"))
    for service, name in families:
        if doc.supportsService(service):
            return name
    raise BadDocument("the office cannot print this kind of document")


def select_parts(doc, kind, parts):
    """Hides the sheets or slides not asked for; answers how many there are."""
    if kind == "calc_pdf_Export":
        items, visible = doc.Sheets, "IsVisible"
    elif kind == "impress_pdf_Export":
        items, visible = doc.DrawPages, "Visible"
    else:
        if parts:
            raise BadDocument("the document has no sheets or slides to choose from")
        return 0
    count = items.getCount()
    if parts:
        wanted = set(parts)
        if not any(1 <= n <= count for n in wanted):
            raise BadDocument("the document has only %d sheet(s) or slide(s)" % count)
        # A sheet can be hidden only while another one shows.
        for i in range(count):
            if i + 1 in wanted:
                items.getByIndex(i).setPropertyValue(visible, True)
        for i in range(count):
            if i + 1 not in wanted:
                items.getByIndex(i).setPropertyValue(visible, False)
    return count


def scale_pages(doc, kind, percent):
    if kind != "calc_pdf_Export":
        raise BadDocument("only a workbook's pages can be scaled")
    styles = doc.StyleFamilies.getByName("PageStyles")
    for i in range(doc.Sheets.getCount()):
        style = styles.getByName(doc.Sheets.getByIndex(i).PageStyle)
        style.ScaleToPagesX = 0
        style.ScaleToPagesY = 0
        style.ScaleToPages = 0
        style.PageScale = percent


def set_papers(doc, kind, papers):
    if kind != "calc_pdf_Export":
        raise BadDocument("only a workbook's sheets take a paper size")
    styles = doc.StyleFamilies.getByName("PageStyles")
    for n, width, height in papers:
        if not 1 <= n <= doc.Sheets.getCount():
            raise BadDocument("the workbook has no sheet %d" % n)
        style = styles.getByName(doc.Sheets.getByIndex(n - 1).PageStyle)
        if style.IsLandscape:
            width, height = max(width, height), min(width, height)
        else:
            width, height = min(width, height), max(width, height)
        style.Width, style.Height = width, height


def parse_papers(text):
    papers = []
    for item in text.split(","):
        if item:
            n, size = item.split(":")
            width, height = size.split("x")
            papers.append((int(n), int(width), int(height)))
    return papers


def load(office, source, changes):
    # Never run its macros, never fetch its links, and ask nobody anything.
    # A read-only document refuses every change: choosing sheets or scaling
    # needs one open for changes, in memory only (it is never stored back).
    doc = office.desktop.loadComponentFromURL(
        uno.systemPathToFileUrl(source), "_blank", 0,
        props(Hidden=True, ReadOnly=not changes, MacroExecutionMode=0, UpdateDocMode=0,
              Silent=True))
    if doc is None:
        raise BadDocument("the office could not open the document")
    try:
        filter_name = ""
        for p in doc.getArgs():
            if p.Name == "FilterName":
                filter_name = p.Value
        # A damaged file of a known type is read as plain text: not a document.
        if filter_name in TEXT_FILTERS and os.path.splitext(source)[1].lower() not in PLAIN_TEXT_TYPES:
            raise BadDocument("the file is not a readable document (it opens only as plain text)")
        return doc, export_filter(doc)
    except Exception:
        close(doc)
        raise


def close(doc):
    try:
        doc.close(True)
    except Exception:
        doc.dispose()


KINDS = {"calc_pdf_Export": "workbook", "impress_pdf_Export": "presentation",
         "draw_pdf_Export": "drawing"}


def inspect(office, source):
    doc, kind = load(office, source, False)
    try:
        fields = [KINDS.get(kind, "text")]
        if kind == "calc_pdf_Export":
            sheets = doc.Sheets
            fields.append(sheets.getCount())
            for i in range(sheets.getCount()):
                sheet = sheets.getByIndex(i)
                # Cell flags: value, date, text (2|1|4); formula (16).
                constants = sheet.queryContentCells(7).getCount() > 0
                formulas = sheet.queryContentCells(16).getCount() > 0
                charts = sheet.Charts.getCount()
                shapes = sheet.DrawPage.getCount()
                fields += [sheet.Name, int(constants), int(formulas), charts,
                           max(0, shapes - charts), shapes]
        elif kind in ("impress_pdf_Export", "draw_pdf_Export"):
            fields.append(doc.DrawPages.getCount())
        else:
            fields.append(0)
        return fields
    finally:
        close(doc)


def export(office, source, target, page_range, parts, scale, papers=()):
    doc, kind = load(office, source, bool(parts or scale or papers))
    try:
        count = select_parts(doc, kind, parts)
        if scale:
            scale_pages(doc, kind, scale)
        if papers:
            set_papers(doc, kind, papers)
        data = props(PageRange=page_range) if page_range else ()
        try:
            doc.storeToURL(uno.systemPathToFileUrl(target), props(
                FilterName=kind, Overwrite=True,
                FilterData=uno.Any("[]com.sun.star.beans.PropertyValue", data)))
        except Exception as error:
            if page_range:  # the usual cause: a range past the last page
                raise BadDocument("no PDF written; does page range \"%s\" name a page of the "
                                  "document? (%s)" % (page_range, reason(error)))
            raise
        return count
    finally:
        close(doc)


def reason(error):
    text = getattr(error, "Message", "") or str(error)
    text = text.split(" at ./")[0]  # the office's source positions say nothing to a user
    return " ".join(text.split()) or type(error).__name__


def main():
    if len(sys.argv) != 3:
        answer("fatal", "usage: office_bridge.py OFFICE_PROGRAM FOLDER")
        return 2
    office = Office(sys.argv[1], sys.argv[2])
    try:
        office.start()
    except Exception as error:
        answer("fatal", reason(error))
        return 1
    answer("ready")
    for line in sys.stdin:
        fields = [unquote(f) for f in line.rstrip("\n").split("\t")]
        if fields[0] == "quit":
            break
        if not ((fields[0] == "export" and len(fields) in (6, 7)) or
                (fields[0] == "inspect" and len(fields) == 2)):
            answer("error", "unknown request")
            continue
        code = office.process.poll()
        if code is not None:
            answer("gone", "the office had ended (exit code %d)" % code)
            return 1
        try:
            if fields[0] == "inspect":
                answer("ok", *inspect(office, fields[1]))
                continue
            parts = [int(n) for n in fields[4].split(",") if n]
            papers = parse_papers(fields[6]) if len(fields) == 7 else ()
            count = export(office, fields[1], fields[2], fields[3], parts, int(fields[5] or 0),
                           papers)
            answer("ok", count)
        except Exception as error:
            if not office.alive():
                answer("fatal", reason(error))
                return 1
            answer("error", reason(error))
    office.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
