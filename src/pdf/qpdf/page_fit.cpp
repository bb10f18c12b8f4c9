#include "pdf/page_fit.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <exception>

#include "pdf/qpdf/qpdf_document.h"

namespace scrivex {

bool WritePagesOnPaper(const std::string& source, int first, int last, double paperWidth,
                       double paperHeight, const std::string& out, std::string* why,
                       bool expand) {
  try {
    std::unique_ptr<QPDF> in = OpenPdf(source, "", false, why);
    if (!in) return false;
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(*in).getAllPages();
    const int count = static_cast<int>(pages.size());
    if (first < 0 || last < first || last >= count) {
      *why = "pages " + std::to_string(first + 1) + " to " + std::to_string(last + 1) +
             " are not in a document of " + std::to_string(count);
      return false;
    }
    QPDF result;
    result.emptyPDF();
    SilencePdf(result);
    QPDFPageDocumentHelper target(result);
    for (int i = first; i <= last; ++i) {
      if (paperWidth <= 0 || paperHeight <= 0) {
        target.addPage(pages[i], false);
        continue;
      }
      // The page as a form, with its rotation and crop applied.
      QPDFObjectHandle form = result.copyForeignObject(pages[i].getFormXObjectForPage());
      QPDFObjectHandle::Rectangle box = form.getKey("/BBox").getArrayAsRectangle();
      const double w = box.urx - box.llx, h = box.ury - box.lly;
      double pw = paperWidth, ph = paperHeight;
      if ((w > h) != (pw > ph)) std::swap(pw, ph);
      QPDFObjectHandle page = QPDFObjectHandle::parse(
          "<< /Type /Page /MediaBox [0 0 " + std::to_string(pw) + " " + std::to_string(ph) +
          "] /Resources << /XObject << >> >> >>");
      page.getKey("/Resources").getKey("/XObject").replaceKey("/Fx0", form);
      QPDFPageObjectHelper helper(result.makeIndirectObject(page));
      std::string content = helper.placeFormXObject(
          form, "/Fx0", QPDFObjectHandle::Rectangle(0, 0, pw, ph), true, true, expand);
      helper.getObjectHandle().replaceKey("/Contents",
                                          QPDFObjectHandle::newStream(&result, content));
      target.addPage(helper, false);
    }
    QPDFWriter writer(result, out.c_str());
    writer.write();
    return true;
  } catch (const std::exception& e) {
    *why = e.what();
    return false;
  }
}

}  // namespace scrivex
