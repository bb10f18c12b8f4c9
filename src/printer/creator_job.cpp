#include "printer/creator_job.h"

#include "common/conversion_options.h"
#include "pdf/pdf_merge.h"
#include "platform/path.h"
#include "printer/inkwell_job.h"

namespace scrivex {
namespace {

constexpr int kPermissionFlags = kDenyPrint | kDenyModify | kDenyCopy | kDenyAnnotate |
                                 kDenyFillForms | kDenyAccessibility | kDenyAssemble |
                                 kDenyPrintHighRes;

// The record's PDF settings as job options: its "Permission" value sets a
// bit for what is allowed, the options a bit for what is denied.
ConversionOptions PdfOptions(const QuireSettings& record) {
  ConversionOptions o;
  o.title = record.title;
  o.author = record.author;
  o.subject = record.subject;
  o.keywords = record.keywords;
  o.rotation = record.generalPageRotateAngle;
  if (record.encryption != 0) {
    o.encryptionKeyLength = record.encryBits == 16 ? 1 : 0;
    o.permissions = ~record.permission & kPermissionFlags;
    o.userPassword = record.userPass;
    o.ownerPassword = record.ownerPass;
  }
  return o;
}

}  // namespace

bool WriteCreatorJob(const std::string& stream, const QuireSettings& record,
                     std::vector<std::string>* written, std::string* why,
                     const ProgressSink& progress) {
  written->clear();
  const std::string output = CutNameAtPercent(record.automaticDirectory);
  if (record.automaticOutput != 1 || record.automaticValue != 2 || output.empty()) {
    *why = "no automatic output was asked for; the job writes nothing";
    return false;
  }
  if (platform::HasExtension(output, ".pdf")) {
    ConversionOptions options = PdfOptions(record);
    if (MergePdfParts({stream}, output, &options) != kMergeWritten) {
      *why = "cannot write " + output;
      return false;
    }
    written->push_back(output);
    return true;
  }
  // Another type: rendered as the "Inkwell" printer would.
  InkwellJob job;
  job.outputFile = output;
  job.colorBits = record.bitcount;
  job.resolutionX = record.xResolution;
  job.resolutionY = record.yResolution;
  job.width = record.pageW;
  job.height = record.pageH;
  const bool tiff =
      platform::HasExtension(output, ".tif") || platform::HasExtension(output, ".tiff");
  if (tiff && record.bitcount == 1) job.tiffCompression = 4;  // Group 4
  return WriteInkwellJob(stream, job, written, why, progress);
}

}  // namespace scrivex
