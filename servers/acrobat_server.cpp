// "AcroExch.App" and "AcroExch.AVDoc": a PDF viewer's automation objects.
// The document is opened with qpdf; printing lays the chosen pages onto the
// default printer's paper and submits them to it as one job.
#include <memory>

#include "automation/acrobat_members.h"
#include "automation/automation.h"
#include "common/temp_files.h"
#include "pdf/page_fit.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/path.h"
#include "printer/printer_dc.h"
#include "servers/register_servers.h"
#include "spool/spooler.h"

namespace scrivex {
namespace {

class AcrobatApp : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& /*args*/) override {
    if (dispid == acrobat::kExit && kind == InvokeKind::kMethod) return TrueArg;
    ThrowUnknownMember("AcroExch.App", dispid, kind);
  }
};

class PdfDoc : public Dispatch {
 public:
  explicit PdfDoc(int pages) : pages_(pages) {}
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& /*args*/) override {
    if (dispid == acrobat::kGetNumPages && kind == InvokeKind::kMethod) return I4(pages_);
    ThrowUnknownMember("AcroExch.PDDoc", dispid, kind);
  }

 private:
  int pages_;
};

// Prints pages first..last of the PDF to the default printer, shrunk onto its
// paper when asked; raises the reason when nothing was printed.
void PrintPdfPages(const std::string& path, int first, int last, bool shrink) {
  char name[256];
  uint32_t size = sizeof name;
  if (!spool::GetDefaultPrinterA(name, &size)) {
    throw AutomationError(DISP_E_EXCEPTION, "there is no default printer to print the PDF to");
  }
  double width = 0, height = 0;
  if (shrink) {
    std::unique_ptr<PrinterDC> dc = CreatePrinterDC(name);
    if (dc) {
      width = dc->widthPoints;
      height = dc->heightPoints;
    }
  }
  std::string stream = MakeTempFileName(".pdf");
  std::string why, failure;
  if (stream.empty()) {
    failure = "no temporary file for the print stream";
  } else if (!WritePagesOnPaper(path, first, last, width, height, stream, &why)) {
    failure = "the PDF's pages could not be printed: " + why;
  } else {
    spool::SubmittedJob job;
    if (!spool::SubmitPrintJob(name, stream, platform::SplitPath(path).name, &job)) {
      failure = "the print job failed: " + job.failure;
    }
  }
  if (!stream.empty()) platform::RemoveFile(stream);
  if (!failure.empty()) throw AutomationError(DISP_E_EXCEPTION, failure);
}

class AcrobatDocView : public Dispatch {
 public:
  Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) override {
    if (kind != InvokeKind::kMethod) ThrowUnknownMember("AcroExch.AVDoc", dispid, kind);
    switch (dispid) {
      case acrobat::kOpen: {  // path, title
        RequireArgs(args, 1, "Open");
        std::string why;
        path_ = ToString(args[0]);
        pages_ = CountPdfPages(path_, false, &why);
        if (pages_ < 1) {
          throw AutomationError(DISP_E_EXCEPTION, path_ + " does not open as a PDF: " + why);
        }
        return TrueArg;
      }
      case acrobat::kGetPDDoc:
        RequireOpen();
        return Object(std::make_shared<PdfDoc>(pages_));
      case acrobat::kClose:  // no save
        pages_ = 0;
        return TrueArg;
      case acrobat::kPrintPages:  // first, last, level, binary, shrink
        RequireArgs(args, 5, "PrintPages");
        RequireOpen();
        PrintPdfPages(path_, ToInt(args[0]), ToInt(args[1]), ToBool(args[4]));
        return TrueArg;
      default:
        ThrowUnknownMember("AcroExch.AVDoc", dispid, kind);
    }
  }

 private:
  void RequireOpen() const {
    if (pages_ < 1) throw AutomationError(DISP_E_EXCEPTION, "no document is open");
  }
  std::string path_;
  int pages_ = 0;
};

}  // namespace

void RegisterAcrobatServer() {
  RegisterServer("AcroExch.App", [] { return std::make_shared<AcrobatApp>(); });
  RegisterServer("AcroExch.AVDoc", [] { return std::make_shared<AcrobatDocView>(); });
}

}  // namespace scrivex
