#include "printer/quire_settings.h"

#include <cstdlib>
#include <iterator>
#include <string_view>
#include <variant>

#include "common/registry.h"

namespace scrivex {

namespace {

struct TextField {
  std::string QuireSettings::*member;
  size_t readBytes;
};

struct Field {
  const char* valueName;
  std::variant<int QuireSettings::*, TextField> member;
};

// Every value, in the order loading reads them.
constexpr Field kLoadOrder[] = {
    {"disable", &QuireSettings::disable},
    {"CompressText", &QuireSettings::compressText},
    {"Compress_AutoZoomImages", &QuireSettings::compressAutoZoomImages},
    {"Compress_ColorImages", &QuireSettings::compressColorImages},
    {"Compress_MonoColorImages", &QuireSettings::compressMonoColorImages},
    {"Links_IsEnable", &QuireSettings::linksIsEnable},
    {"Links_BoderColor", &QuireSettings::linksBoderColor},
    {"Links_BoderType", &QuireSettings::linksBoderType},
    {"Links_LineStyle", &QuireSettings::linksLineStyle},
    {"Links_LineSize", &QuireSettings::linksLineSize},
    {"General_PageRotateAngle", &QuireSettings::generalPageRotateAngle},
    {"General_OptimizeWeb", &QuireSettings::generalOptimizeWeb},
    {"AutoExec", &QuireSettings::autoExec},
    {"AutoExecProgram", TextField{&QuireSettings::autoExecProgram, kQuireTextBytes}},
    {"AutoView", &QuireSettings::autoView},
    {"OutFileType", &QuireSettings::outFileType},
    {"DefaultCharWidth", &QuireSettings::defaultCharWidth},
    {"Unit", &QuireSettings::unit},
    {"PageSelect", &QuireSettings::pageSelect},
    {"PageSize", &QuireSettings::pageSize},
    {"PageW", &QuireSettings::pageW},
    {"PageH", &QuireSettings::pageH},
    {"Margin", &QuireSettings::margin},
    {"Orientation", &QuireSettings::orientation},
    {"xResolution", &QuireSettings::xResolution},
    {"yResolution", &QuireSettings::yResolution},
    {"Scale", &QuireSettings::scale},
    {"Compatible", &QuireSettings::compatible},
    {"Encryption", &QuireSettings::encryption},
    {"EncryBits", &QuireSettings::encryBits},
    {"Permission", &QuireSettings::permission},
    {"OwnerPass", TextField{&QuireSettings::ownerPass, kQuirePasswordBytes}},
    {"UserPass", TextField{&QuireSettings::userPass, kQuirePasswordBytes}},
    {"Title", TextField{&QuireSettings::title, kQuireTextBytes}},
    {"Subject", TextField{&QuireSettings::subject, kQuireTextBytes}},
    {"Author", TextField{&QuireSettings::author, kQuireTextBytes}},
    {"Keywords", TextField{&QuireSettings::keywords, kQuireTextBytes}},
    {"AutomaticOutput", &QuireSettings::automaticOutput},
    {"AutomaticValue", &QuireSettings::automaticValue},
    {"AutomaticDirectory", TextField{&QuireSettings::automaticDirectory, kQuireDirectoryBytes}},
    {"Bitcount", &QuireSettings::bitcount},
};

// Saving writes the same values in a slightly different order.
constexpr const char* kSaveOrder[] = {
    "disable",
    "CompressText",
    "Compress_AutoZoomImages",
    "Compress_ColorImages",
    "Compress_MonoColorImages",
    "Links_IsEnable",
    "Links_BoderColor",
    "Links_BoderType",
    "Links_LineStyle",
    "Links_LineSize",
    "General_PageRotateAngle",
    "General_OptimizeWeb",
    "AutoExec",
    "AutoExecProgram",
    "AutoView",
    "OutFileType",
    "DefaultCharWidth",
    "Unit",
    "PageSelect",
    "PageSize",
    "PageW",
    "PageH",
    "Margin",
    "Orientation",
    "xResolution",
    "yResolution",
    "Compatible",
    "Scale",
    "Title",
    "Subject",
    "Author",
    "Keywords",
    "Encryption",
    "Permission",
    "EncryBits",
    "OwnerPass",
    "UserPass",
    "AutomaticOutput",
    "AutomaticValue",
    "AutomaticDirectory",
    "Bitcount",
};

static_assert(std::size(kLoadOrder) == 41 && std::size(kSaveOrder) == 41);

const Field& FieldNamed(std::string_view name) {
  for (const Field& f : kLoadOrder)
    if (name == f.valueName) return f;
  std::abort();  // the save order names only values of the table above
}

}  // namespace

void LoadQuireSettings(QuireSettings* record) {
  *record = QuireSettings{};
  KeyHandle key = OpenUserKey(kQuireSettingsKey);
  if (key == nullptr) {
    SaveQuireSettings(*record);
    return;
  }
  const QuireSettings defaults;
  for (const Field& f : kLoadOrder) {
    if (auto* number = std::get_if<int QuireSettings::*>(&f.member)) {
      record->** number = ReadDwordValue(key, f.valueName, defaults.**number);
    } else {
      const TextField& text = std::get<TextField>(f.member);
      // A missing or too long text leaves the field empty.
      ReadStringValue(key, f.valueName, &(record->*text.member), text.readBytes);
    }
  }
  CloseKey(key);
  if (record->encryBits != 5 && record->encryBits != 16) record->encryBits = 5;
}

int SaveQuireSettings(const QuireSettings& record) {
  KeyHandle key = CreateUserKey(kQuireSettingsKey);
  if (key == nullptr) return 0;
  int result = 1;
  for (const char* name : kSaveOrder) {
    const Field& f = FieldNamed(name);
    int written;
    if (auto* number = std::get_if<int QuireSettings::*>(&f.member)) {
      written = WriteDwordValue(key, f.valueName, record.**number);
    } else {
      written = WriteStringValue(key, f.valueName, record.*std::get<TextField>(f.member).member);
    }
    if (written != 1) result = 0;
  }
  CloseKey(key);
  return result;
}

}  // namespace scrivex
