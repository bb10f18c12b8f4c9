// The per-file pipeline: routes each work item to its converter, finishes PDF
// output, and reports one result line per file.
#ifndef SCRIVEX_DRIVER_PIPELINE_H_
#define SCRIVEX_DRIVER_PIPELINE_H_

#include <functional>
#include <string>
#include <vector>

#include "common/conversion_options.h"
#include "common/image_request.h"
#include "common/job.h"
#include "driver/progress_line.h"
#include "driver/work_list.h"

namespace scrivex {

// The converters the routes call. main wires the real ones; tests plug in
// doubles. An unset converter counts as "nothing produced" (0). A converter
// that fails notes why in *why (NoteFailure).
struct Converters {
  std::function<int(const std::string& input, const std::string& output, int first, int last)>
      selectPostScriptPages;
  // Both give the files they wrote, in page order, in *written.
  std::function<int(const ImageRequest& request, std::string* why,
                    std::vector<std::string>* written)>
      convertPsToImage;
  std::function<int(const std::string& input, const std::string& output,
                    const ConversionOptions& options, const std::string& printer, std::string* why,
                    std::vector<std::string>* written, const ProgressSink& progress)>
      convertThroughImageConverter;
  std::function<int(const std::string& input, const std::string& output, std::string* why)>
      removeBlankTiffPages;
  // Shows a produced file (-V).
  std::function<void(const std::string& path)> openResult;
  // Runs the PDF tools program with these arguments; RunCommandLine by default.
  std::function<int(const std::vector<std::string>& argv, std::string* why)> runCommandLine;
  // The pages a written file holds (0 when it cannot be told); unset: each
  // file counts as one.
  std::function<int(const std::string& path)> countPages;
  // Ends what the run keeps between files (the kept applications): a worker
  // calls it before it ends.
  std::function<void()> endRun;
};

// What became of one input: the result line's facts and what a program
// reading the run needs besides (--json).
struct FileRecord {
  std::string input;
  std::string output;  // the name the result line gives
  bool converted = false;
  std::vector<std::string> files;  // written, in page order, under their final names
  int pages = 0;                   // in those files; 0 when it cannot be told
  std::string reason;              // why it failed
  double seconds = 0;
};

// Besides its lines on standard output, ConvertAll hands each input's
// record, as it ends, to onFile when set.
struct Reporting {
  std::function<void(const FileRecord&)> onFile;
  // Shows how far each file got while it converts; null: nothing is shown.
  ProgressLine* progress = nullptr;
};

// One input's conversion, before its lines are printed.
struct ItemOutcome {
  int result = 0;
  FileRecord record;  // its reason as the failure line gives it
};

// Converts item i of the list to its output, the existing output handled as
// the mode says, without printing its lines. *listReplaced: whether a list's
// earlier output already gave way to one of its entries (updated).
ItemOutcome ConvertListItem(const WorkList& list, size_t i, const ConversionOptions& options,
                            const std::string& printer, const Converters& converters,
                            bool* listReplaced, const ProgressSink& progress);
// The batch's percentage line before item i of n (none for one file).
void ReportPercentage(size_t i, size_t n);
// The failure line (standard error), the result line and the record.
void ReportItem(const ItemOutcome& outcome, const Reporting& reporting);
void ReportConversionTime(long long elapsedMs);
// What the progress line calls item index of count.
std::string ProgressSubject(const std::string& input, size_t index, size_t count);

// Converts every item, printing a result line per file (after a line on
// standard error with the reason when it failed); the last file's result.
// Documents print to the printer (see Job).
int ConvertAll(const WorkList& list, const ConversionOptions& options, const std::string& printer,
               const Converters& converters, const Reporting& reporting = {});
// Converts one input to the target with the job's options; why it failed
// goes to job.failure, the files it wrote to job.written.
int ConvertOneFile(const std::string& input, const std::string& target, Job& job,
                   const Converters& converters);

// The PDF tools program beside the executable ("tools.cfg").
std::string ToolsProgramPath();
int MergeWithExistingPdf(const std::string& newPdf, const std::string& existingPdf, Job& job,
                         const Converters& converters);
int SetPdfDocumentInfo(const std::string& pdf, Job& job, const Converters& converters);

}  // namespace scrivex

#endif  // SCRIVEX_DRIVER_PIPELINE_H_
