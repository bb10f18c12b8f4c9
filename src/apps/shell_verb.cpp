#include "apps/shell_verb.h"

#include "common/registry.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/process.h"

namespace scrivex {
namespace {

// The class of every type the print helper prints.
constexpr const char* kHelperClass = "Scrivex.Document";
constexpr const char* kHelperProgram = "print-helper";
constexpr size_t kValueBytes = 2048;

// What the office opens and the dispatch does not print by a route of its
// own (.doc, .rtf, .xls, .ppt, .vsd, .htm, .html and .txt have theirs), and
// the PDF and PostScript types.
constexpr const char* kHelperTypes[] = {
    // text documents
    ".docx", ".docm", ".dotx", ".dotm", ".dot", ".odt", ".ott", ".fodt", ".sxw", ".wpd", ".wps",
    ".abw", ".lwp", ".hwp",
    // workbooks
    ".xlsx", ".xlsm", ".xlsb", ".xltx", ".xltm", ".xlt", ".ods", ".ots", ".fods", ".sxc", ".csv",
    ".dif", ".slk", ".wk1", ".wks",
    // presentations
    ".pptx", ".pptm", ".ppsx", ".ppsm", ".potx", ".potm", ".pps", ".pot", ".odp", ".otp", ".fodp",
    ".sxi",
    // drawings
    ".odg", ".otg", ".fodg", ".sxd", ".vsdx", ".vsdm", ".vdx", ".vssx", ".vstx", ".pub", ".wpg",
    // printed as they are or through Ghostscript
    ".pdf", ".ps", ".eps"};

std::string CommandKey(const std::string& className) {
  return className + "\\shell\\print\\command";
}

std::string ReadDefaultValue(const std::string& keyPath) {
  KeyHandle key = OpenKey(RegistryRoot::kClassesRoot, keyPath);
  std::string value;
  if (key && ReadStringValue(key, "", &value, kValueBytes) != 1) value.clear();
  if (key) CloseKey(key);
  return value;
}

bool WriteDefaultValue(const std::string& keyPath, const std::string& value) {
  KeyHandle key = CreateKey(RegistryRoot::kClassesRoot, keyPath);
  bool written = key && WriteStringValue(key, "", value) == 1;
  if (key) CloseKey(key);
  return written;
}

// Puts the file in place of every "%1" (or "%L", the long name) in one pass,
// so a name holding "%1" is not filled in again.
bool FillIn(std::string* arg, const std::string& file) {
  std::string out;
  bool filled = false;
  for (size_t i = 0; i < arg->size(); ++i) {
    if ((*arg)[i] == '%' && i + 1 < arg->size() && ((*arg)[i + 1] == '1' || (*arg)[i + 1] == 'L')) {
      out += file;
      filled = true;
      ++i;
    } else {
      out += (*arg)[i];
    }
  }
  *arg = std::move(out);
  return filled;
}

}  // namespace

void RegisterPrintHelpers() {
  const std::string helper = platform::ProgramDirectory() + kHelperProgram;
  // A quote in the path could not be kept inside one argument.
  if (helper.find('"') != std::string::npos) return;
  const std::string command = "\"" + helper + "\" \"%1\"";
  if (ReadDefaultValue(CommandKey(kHelperClass)) == command) return;
  for (const char* type : kHelperTypes) {
    if (ReadDefaultValue(type).empty()) WriteDefaultValue(type, kHelperClass);
  }
  // Written last: it marks the work done for this state root (and is
  // rewritten when the program has moved).
  WriteDefaultValue(CommandKey(kHelperClass), command);
}

bool IsPrintHelperType(const std::string& ext) {
  for (const char* type : kHelperTypes) {
    if (platform::EqualsNoCase(ext, type)) return true;
  }
  return false;
}

std::vector<std::string> ShellPrintCommand(const std::string& file) {
  const std::string type = platform::SplitPath(file).ext;
  if (type.empty() || file.empty()) return {};
  const std::string className = ReadDefaultValue(type);
  if (className.empty()) return {};
  // Split before the name goes in, so no name can add an argument; and
  // absolute, so it never reads as an option.
  std::vector<std::string> argv =
      platform::SplitCommandLine(ReadDefaultValue(CommandKey(className)));
  if (argv.empty()) return {};
  const std::string path = platform::FullPath(file);
  bool filled = false;
  for (size_t i = 1; i < argv.size(); ++i) filled = FillIn(&argv[i], path) || filled;
  if (!filled) argv.push_back(path);
  return argv;
}

}  // namespace scrivex
