// A printer's device settings in the Windows DEVMODEA layout, field for field
// (156 bytes, no driver-private part), so a record handed over by a caller of
// the exported functions is read exactly as it was written. The flags and
// codes the spooler uses, under their Windows names.
#ifndef SCRIVEX_SPOOL_DEVMODE_H_
#define SCRIVEX_SPOOL_DEVMODE_H_

#include <cstddef>
#include <cstdint>

#include "scrivex/inkwell.h"

namespace scrivex::spool {

constexpr uint32_t DM_ORIENTATION = 0x1;
constexpr uint32_t DM_PAPERSIZE = 0x2;
constexpr uint32_t DM_PAPERLENGTH = 0x4;
constexpr uint32_t DM_PAPERWIDTH = 0x8;
constexpr uint32_t DM_SCALE = 0x10;
constexpr uint32_t DM_POSITION = 0x20;
constexpr uint32_t DM_COPIES = 0x100;
constexpr uint32_t DM_DEFAULTSOURCE = 0x200;
constexpr uint32_t DM_PRINTQUALITY = 0x400;
constexpr uint32_t DM_COLOR = 0x800;
constexpr uint32_t DM_DUPLEX = 0x1000;
constexpr uint32_t DM_YRESOLUTION = 0x2000;
constexpr uint32_t DM_TTOPTION = 0x4000;
constexpr uint32_t DM_COLLATE = 0x8000;
constexpr uint32_t DM_FORMNAME = 0x10000;
constexpr uint32_t DM_LOGPIXELS = 0x20000;
constexpr uint32_t DM_BITSPERPEL = 0x40000;
constexpr uint32_t DM_PELSWIDTH = 0x80000;
constexpr uint32_t DM_PELSHEIGHT = 0x100000;
constexpr uint32_t DM_DISPLAYFLAGS = 0x200000;
constexpr uint32_t DM_DISPLAYFREQUENCY = 0x400000;
constexpr uint32_t DM_ICMMETHOD = 0x800000;
constexpr uint32_t DM_ICMINTENT = 0x1000000;
constexpr uint32_t DM_MEDIATYPE = 0x2000000;
constexpr uint32_t DM_DITHERTYPE = 0x4000000;

constexpr uint16_t DM_SPECVERSION = 0x0401;
constexpr int16_t DMORIENT_PORTRAIT = 1;
constexpr int16_t DMORIENT_LANDSCAPE = 2;
constexpr int16_t DMPAPER_LETTER = 1;
constexpr int16_t DMPAPER_A4 = 9;
constexpr int16_t DMCOLOR_COLOR = 2;

// DocumentProperties modes and answer.
constexpr uint32_t DM_OUT_BUFFER = 2;
constexpr uint32_t DM_IN_BUFFER = 8;
constexpr long IDOK = 1;

constexpr size_t kDevModeSize = 156;

// The record is the one the C interface publishes: one definition of the
// layout for the library's callers and the spooler alike.
using DEVMODEA = ::ScrivexDevMode;

static_assert(sizeof(DEVMODEA) == kDevModeSize);
static_assert(offsetof(DEVMODEA, dmDeviceName) == 0);
static_assert(offsetof(DEVMODEA, dmSpecVersion) == 32);
static_assert(offsetof(DEVMODEA, dmDriverVersion) == 34);
static_assert(offsetof(DEVMODEA, dmSize) == 36);
static_assert(offsetof(DEVMODEA, dmDriverExtra) == 38);
static_assert(offsetof(DEVMODEA, dmFields) == 40);
static_assert(offsetof(DEVMODEA, dmOrientation) == 44);
static_assert(offsetof(DEVMODEA, dmPaperSize) == 46);
static_assert(offsetof(DEVMODEA, dmPaperLength) == 48);
static_assert(offsetof(DEVMODEA, dmPaperWidth) == 50);
static_assert(offsetof(DEVMODEA, dmScale) == 52);
static_assert(offsetof(DEVMODEA, dmCopies) == 54);
static_assert(offsetof(DEVMODEA, dmDefaultSource) == 56);
static_assert(offsetof(DEVMODEA, dmPrintQuality) == 58);
static_assert(offsetof(DEVMODEA, dmColor) == 60);
static_assert(offsetof(DEVMODEA, dmDuplex) == 62);
static_assert(offsetof(DEVMODEA, dmYResolution) == 64);
static_assert(offsetof(DEVMODEA, dmTTOption) == 66);
static_assert(offsetof(DEVMODEA, dmCollate) == 68);
static_assert(offsetof(DEVMODEA, dmFormName) == 70);
static_assert(offsetof(DEVMODEA, dmLogPixels) == 102);
static_assert(offsetof(DEVMODEA, dmBitsPerPel) == 104);
static_assert(offsetof(DEVMODEA, dmPelsWidth) == 108);
static_assert(offsetof(DEVMODEA, dmPelsHeight) == 112);
static_assert(offsetof(DEVMODEA, dmDisplayFlags) == 116);
static_assert(offsetof(DEVMODEA, dmDisplayFrequency) == 120);
static_assert(offsetof(DEVMODEA, dmICMMethod) == 124);
static_assert(offsetof(DEVMODEA, dmICMIntent) == 128);
static_assert(offsetof(DEVMODEA, dmMediaType) == 132);
static_assert(offsetof(DEVMODEA, dmDitherType) == 136);
static_assert(offsetof(DEVMODEA, dmReserved1) == 140);
static_assert(offsetof(DEVMODEA, dmReserved2) == 144);
static_assert(offsetof(DEVMODEA, dmPanningWidth) == 148);
static_assert(offsetof(DEVMODEA, dmPanningHeight) == 152);

}  // namespace scrivex::spool

#endif  // SCRIVEX_SPOOL_DEVMODE_H_
