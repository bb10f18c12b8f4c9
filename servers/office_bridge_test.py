# Tests of the office bridge's helper without an office: stand-ins for the
# office's python modules (uno, com.sun.star.beans) and for the office, the
# helper's own request loop, parsing and document handling.
import importlib.util
import io
import os
import sys
import types
import unittest
from unittest import mock


class PropertyValue:
    Name = ""
    Value = None


def fake_office_modules():
    uno = types.ModuleType("uno")
    uno.systemPathToFileUrl = lambda path: "file://" + path
    uno.Any = lambda kind, value: (kind, value)
    beans = types.ModuleType("com.sun.star.beans")
    beans.PropertyValue = PropertyValue
    modules = {"uno": uno, "com.sun.star.beans": beans}
    for name in ("com", "com.sun", "com.sun.star"):
        modules[name] = types.ModuleType(name)
    return modules


with mock.patch.dict(sys.modules, fake_office_modules()):
    spec = importlib.util.spec_from_file_location(
        "office_bridge", os.path.join(os.path.dirname(os.path.abspath(__file__)), "office_bridge.py"))
    bridge = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(bridge)


class FakeOffice:
    """The helper's office: always running unless told otherwise."""

    def __init__(self, program, folder):
        self.exit_code = None
        self.living = True
        self.quitted = False
        self.process = types.SimpleNamespace(poll=lambda: self.exit_code)

    def start(self):
        pass

    def alive(self):
        return self.living

    def quit(self):
        self.quitted = True


def run(lines, export=None, inspect=None, office=None):
    """Runs the helper's main on the request lines: its exit code, its
    answers as lists of raw fields, and the office it made."""
    made = []

    def make(program, folder):
        made.append(office or FakeOffice(program, folder))
        return made[-1]

    out = io.StringIO()
    with mock.patch.object(bridge, "Office", make), \
            mock.patch.object(bridge, "export", export or (lambda *a: 3)), \
            mock.patch.object(bridge, "inspect", inspect or (lambda *a: ["text", 0])), \
            mock.patch.object(sys, "argv", ["office_bridge.py", "/office/soffice.bin", "/f"]), \
            mock.patch.object(sys, "stdin", io.StringIO("".join(l + "\n" for l in lines))), \
            mock.patch.object(sys, "stdout", out):
        code = bridge.main()
    answers = [line.split("\t") for line in out.getvalue().splitlines()]
    return code, answers, made[0] if made else None


class RequestLoop(unittest.TestCase):
    def test_fields_are_decoded_and_answers_encoded(self):
        calls = []

        def export(office, *args):
            calls.append(args)
            if args[0] == "bad":
                raise bridge.BadDocument("50% read\tthen\nstopped")
            return 3

        code, answers, office = run([
            "export\t/in/a%09b%25c%20%c3%a9.doc\t/out/p.pdf\t1-3,5\t2,1\t150\t1:100x200,3:5x6",
            "export\tx\ty\t\t\t",
            "export\tbad\ty\t\t\t0",
            "export\tx\ty\t\t1,two\t0",
            "export\tx\ty\t\t\t0\t1:100",
            "inspect\t/in/book.ods",
            "export\tx\ty",
            "print\tx",
            "quit",
            "export\tx\ty\t\t\t0",
        ], export=export, inspect=lambda office, source: ["workbook", 1, "S\t50%", 1, 0, 2, 0, 2])
        self.assertEqual(code, 0)
        self.assertTrue(office.quitted)
        self.assertEqual(calls, [
            ("/in/a\tb%c \u00e9.doc", "/out/p.pdf", "1-3,5", [2, 1], 150, [(1, 100, 200), (3, 5, 6)]),
            ("x", "y", "", [], 0, ()),
            ("bad", "y", "", [], 0, ()),
        ])
        self.assertEqual(answers[0], ["ready"])
        self.assertEqual(answers[1:3], [["ok", "3"], ["ok", "3"]])
        # A reason is one line of plain words.
        self.assertEqual(answers[3], ["error", "50%25 read then stopped"])
        # Malformed fields are the request's fault: the office lives on.
        self.assertEqual(answers[4][0], "error")
        self.assertEqual(answers[5][0], "error")
        self.assertEqual(answers[6], ["ok", "workbook", "1", "S%0950%25", "1", "0", "2", "0", "2"])
        self.assertEqual(answers[7:], [["error", "unknown request"]] * 2)

    def test_a_dead_office_ends_the_helper(self):
        def crash(*args):
            office.living = False
            raise RuntimeError("DisposedException")

        office = FakeOffice("", "")
        code, answers, _ = run(["export\tx\ty\t\t\t0", "export\tx\ty\t\t\t0"], export=crash,
                               office=office)
        self.assertEqual((code, answers), (1, [["ready"], ["fatal", "DisposedException"]]))

        office = FakeOffice("", "")
        office.exit_code = 81
        code, answers, _ = run(["quit\tnow", "export\tx\ty\t\t\t0"], office=office)
        self.assertEqual((code, answers[1:]), (0, []))  # a quit needs no office
        code, answers, _ = run(["export\tx\ty\t\t\t0", "export\tx\ty\t\t\t0"], office=office)
        self.assertEqual((code, answers[1:]),
                         (1, [["gone", "the office had ended (exit code 81)"]]))

        failing = FakeOffice("", "")
        failing.start = mock.Mock(side_effect=OSError("no soffice.bin"))
        code, answers, _ = run([], office=failing)
        self.assertEqual((code, answers), (1, [["fatal", "no soffice.bin"]]))


class Sheet:
    def __init__(self, book, visible):
        self.book, self.visible = book, visible

    def setPropertyValue(self, name, value):
        assert name == "IsVisible"
        if not value and sum(s.visible for s in self.book) == 1 and self.visible:
            raise RuntimeError("the last visible sheet cannot be hidden")
        self.visible = value


class Sheets(list):
    def getCount(self):
        return len(self)

    def getByIndex(self, i):
        return self[i]


class Parts(unittest.TestCase):
    def test_chosen_sheets_show_and_the_others_hide(self):
        book = Sheets()
        book.extend(Sheet(book, v) for v in (True, False, False))
        doc = types.SimpleNamespace(Sheets=book)
        self.assertEqual(bridge.select_parts(doc, "calc_pdf_Export", [3, 2]), 3)
        self.assertEqual([s.visible for s in book], [False, True, True])
        self.assertEqual(bridge.select_parts(doc, "calc_pdf_Export", []), 3)
        self.assertEqual([s.visible for s in book], [False, True, True])
        with self.assertRaises(bridge.BadDocument):
            bridge.select_parts(doc, "calc_pdf_Export", [4])
        with self.assertRaises(bridge.BadDocument):
            bridge.select_parts(doc, "writer_pdf_Export", [1])
        self.assertEqual(bridge.select_parts(doc, "writer_pdf_Export", []), 0)

    def test_papers_and_reasons(self):
        self.assertEqual(bridge.parse_papers("1:100x200,,12:5x6"), [(1, 100, 200), (12, 5, 6)])
        for bad in ("1:100", "x:1x2", "1x2"):
            with self.assertRaises(ValueError):
                bridge.parse_papers(bad)
        error = RuntimeError()
        error.Message = "  cannot\n store at ./sfx2/source/doc/docfile.cxx:1234"
        self.assertEqual(bridge.reason(error), "cannot store")
        self.assertEqual(bridge.reason(KeyError()), "KeyError")


class Document:
    def __init__(self, filter_name, fails=False):
        self.filter_name, self.fails = filter_name, fails
        self.stored, self.closed = None, False

    def getArgs(self):
        p = PropertyValue()
        p.Name, p.Value = "FilterName", self.filter_name
        return [p]

    def supportsService(self, name):
        return name == "com.sun.star.text.TextDocument"

    def storeToURL(self, url, args):
        if self.fails:
            raise RuntimeError("IOException")
        self.stored = (url, {p.Name: p.Value for p in args})

    def close(self, force):
        self.closed = True


class Export(unittest.TestCase):
    def office(self, doc):
        self.loads = []

        def load(url, frame, flags, args):
            self.loads.append({p.Name: p.Value for p in args})
            return doc

        return types.SimpleNamespace(desktop=types.SimpleNamespace(loadComponentFromURL=load))

    def test_export_passes_its_pages_and_closes_the_document(self):
        doc = Document("MS Word 97")
        self.assertEqual(bridge.export(self.office(doc), "/in/a.doc", "/out/a.pdf", "2-3", [], 0), 0)
        url, args = doc.stored
        self.assertEqual(url, "file:///out/a.pdf")
        self.assertEqual(args["FilterName"], "writer_pdf_Export")
        kind, data = args["FilterData"]
        self.assertEqual({p.Name: p.Value for p in data}, {"PageRange": "2-3"})
        self.assertTrue(doc.closed)
        # Read-only unless something in it must change; never its macros.
        self.assertEqual((self.loads[0]["ReadOnly"], self.loads[0]["MacroExecutionMode"]), (True, 0))

        doc = Document("MS Word 97")
        bridge.export(self.office(doc), "/in/a.doc", "/out/a.pdf", "", [], 0)
        self.assertEqual(doc.stored[1]["FilterData"][1], ())

        doc = Document("MS Word 97")
        with self.assertRaises(bridge.BadDocument):
            bridge.export(self.office(doc), "/in/a.doc", "/out/a.pdf", "", [], 150)
        self.assertEqual((self.loads[0]["ReadOnly"], doc.stored, doc.closed), (False, None, True))

        doc = Document("MS Word 97", fails=True)
        with self.assertRaisesRegex(bridge.BadDocument, 'page range "9-12"'):
            bridge.export(self.office(doc), "/in/a.doc", "/out/a.pdf", "9-12", [], 0)
        self.assertTrue(doc.closed)

        # A damaged file the office reads only as plain text is no document.
        doc = Document("Text (encoded)")
        with self.assertRaises(bridge.BadDocument):
            bridge.export(self.office(doc), "/in/a.doc", "/out/a.pdf", "", [], 0)
        self.assertTrue(doc.closed and doc.stored is None)
        doc = Document("Text (encoded)")
        bridge.export(self.office(doc), "/in/a.txt", "/out/a.pdf", "", [], 0)
        self.assertIsNotNone(doc.stored)


if __name__ == "__main__":
    unittest.main()
