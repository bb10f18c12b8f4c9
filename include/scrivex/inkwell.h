/* Driving the virtual printers from another program: a driver option, a
 * document printed to a file, a printer's paper settings, and stopping
 * processes by name. C interface of libscrivex.
 *
 * The functions work in the calling account's scrivex state folder
 * ($SCRIVEX_HOME, default ~/.local/share/scrivex) and never end the calling
 * program: a failure returns 0 and says why on standard error. */
#ifndef SCRIVEX_INKWELL_H_
#define SCRIVEX_INKWELL_H_

#include <stdint.h>

#if defined(__GNUC__)
#define INKWELL_API __attribute__((visibility("default")))
#else
#define INKWELL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A printer's device settings in the Windows DEVMODEA layout: 156 bytes, no
 * padding, the printer half of its unions. Set the bits of dmFields for the
 * fields to change; the others are not read. */
#pragma pack(push, 1)
typedef struct ScrivexDevMode {
  char dmDeviceName[32];
  uint16_t dmSpecVersion;
  uint16_t dmDriverVersion;
  uint16_t dmSize;
  uint16_t dmDriverExtra;
  uint32_t dmFields;
  int16_t dmOrientation;
  int16_t dmPaperSize;
  int16_t dmPaperLength; /* tenths of a millimetre */
  int16_t dmPaperWidth;  /* tenths of a millimetre */
  int16_t dmScale;
  int16_t dmCopies;
  int16_t dmDefaultSource;
  int16_t dmPrintQuality;
  int16_t dmColor;
  int16_t dmDuplex;
  int16_t dmYResolution;
  int16_t dmTTOption;
  int16_t dmCollate;
  char dmFormName[32];
  uint16_t dmLogPixels;
  uint32_t dmBitsPerPel;
  uint32_t dmPelsWidth;
  uint32_t dmPelsHeight;
  uint32_t dmDisplayFlags;
  uint32_t dmDisplayFrequency;
  uint32_t dmICMMethod;
  uint32_t dmICMIntent;
  uint32_t dmMediaType;
  uint32_t dmDitherType;
  uint32_t dmReserved1;
  uint32_t dmReserved2;
  uint32_t dmPanningWidth;
  uint32_t dmPanningHeight;
} ScrivexDevMode;
#pragma pack(pop)

/* The Windows name, for callers written against it. The Windows and Wine
 * headers declare their own DEVMODEA (same layout): include them first and
 * this one stays out; SCRIVEX_NO_DEVMODEA leaves it out as well. */
#if !defined(SCRIVEX_NO_DEVMODEA) && !defined(_WINGDI_) && !defined(__WINE_WINGDI_H)
typedef ScrivexDevMode DEVMODEA;
#endif

/* dmFields bits and values of the fields the printers use. */
enum {
  INKWELL_DM_ORIENTATION = 0x1,
  INKWELL_DM_PAPERSIZE = 0x2,
  INKWELL_DM_PAPERLENGTH = 0x4,
  INKWELL_DM_PAPERWIDTH = 0x8,
  INKWELL_DM_PRINTQUALITY = 0x400,
  INKWELL_DM_YRESOLUTION = 0x2000,
  INKWELL_DMORIENT_PORTRAIT = 1,
  INKWELL_DMORIENT_LANDSCAPE = 2,
  INKWELL_DMPAPER_LETTER = 1,
  INKWELL_DMPAPER_LEGAL = 5,
  INKWELL_DMPAPER_A3 = 8,
  INKWELL_DMPAPER_A4 = 9,
  INKWELL_DMPAPER_A5 = 11
};

/* Writes key = value in section "AutoSaveOptions" of the "Inkwell" printer
 * driver's ini file (for example "m_strResolution", "150x150"). Non-zero
 * when written, else 0. */
INKWELL_API int Inkwell_SetOptions(const char* key, const char* value);

/* Prints inputPath to the printer named (NULL or "" keeps the printer of the
 * previous call; a process starts with none) and writes what its driver
 * produces to outputPath, whose extension names the type (pdf, ps, eps, tif,
 * png, jpg, bmp, emf, ...). Relative paths count from the current folder. The
 * paper is the printer's own (see Inkwell_ChangePrinterSettings). Returns the
 * number of files written; 0 when nothing was produced. */
INKWELL_API int Inkwell_ConvertToImage(const char* inputPath, const char* outputPath,
                                       const char* printerName);

/* The files the process's last Inkwell_ConvertToImage wrote, in page order
 * (none after a failure): copies the index-th path (from 0), terminated, into
 * path, which holds size bytes, and returns its length; -1 when there is no
 * such file, or path is NULL or too small. */
INKWELL_API int Inkwell_GetWrittenFile(int index, char* path, int size);

/* Stores the fields of settings that its dmFields names as the printer's
 * device settings. 1 once stored; 0 for an unknown printer or NULL settings. */
INKWELL_API int Inkwell_ChangePrinterSettings(const char* printerName,
                                              const ScrivexDevMode* settings);

/* Stops (SIGKILL) every process whose executable's name begins with name,
 * letter case ignored, that the caller may signal, printing three lines for
 * each on standard output. The calling process is never stopped, and an empty
 * name is refused. 1 when the process list could be read, else 0. */
INKWELL_API int Inkwell_KillProcess(const char* name);

#ifdef __cplusplus
}
#endif

#endif /* SCRIVEX_INKWELL_H_ */
