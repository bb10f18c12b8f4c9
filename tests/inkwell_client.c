/* A caller of libscrivex's exported functions, built by the end-to-end test
 * against the installed headers and scrivex.pc. Runs its commands in order,
 * in one process, printing "<command>=<result>" after each:
 *   set KEY VALUE | convert IN OUT PRINTER ("-": none) | paper PRINTER CODE |
 *   kill NAME | extent PSFILE | files (the last conversion's, one a line) */
#include <scrivex/inkwell.h>
#include <scrivex/pstoimage.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The record as Windows lays out its DEVMODEA. */
_Static_assert(sizeof(ScrivexDevMode) == 156, "DEVMODEA is 156 bytes");
_Static_assert(offsetof(ScrivexDevMode, dmFields) == 40, "dmFields");
_Static_assert(offsetof(ScrivexDevMode, dmPaperSize) == 46, "dmPaperSize");
_Static_assert(offsetof(ScrivexDevMode, dmFormName) == 70, "dmFormName");
_Static_assert(offsetof(ScrivexDevMode, dmBitsPerPel) == 104, "dmBitsPerPel");
_Static_assert(offsetof(ScrivexDevMode, dmPanningHeight) == 152, "dmPanningHeight");

/* NULL for "-". */
static const char* Arg(const char* text) { return strcmp(text, "-") == 0 ? NULL : text; }

int main(int argc, char** argv) {
  int i = 1;
  while (i < argc) {
    const char* what = argv[i];
    int left = argc - i - 1, result;
    if (strcmp(what, "set") == 0 && left >= 2) {
      result = Inkwell_SetOptions(argv[i + 1], argv[i + 2]);
      i += 3;
    } else if (strcmp(what, "convert") == 0 && left >= 3) {
      result = Inkwell_ConvertToImage(argv[i + 1], argv[i + 2], Arg(argv[i + 3]));
      i += 4;
    } else if (strcmp(what, "paper") == 0 && left >= 2) {
      ScrivexDevMode settings;
      memset(&settings, 0, sizeof settings);
      settings.dmSize = sizeof settings;
      settings.dmFields = INKWELL_DM_PAPERSIZE;
      settings.dmPaperSize = (int16_t)atoi(argv[i + 2]);
      result = Inkwell_ChangePrinterSettings(argv[i + 1], &settings);
      i += 3;
    } else if (strcmp(what, "kill") == 0 && left >= 1) {
      result = Inkwell_KillProcess(argv[i + 1]);
      i += 2;
    } else if (strcmp(what, "files") == 0) {
      char path[4096];
      for (result = 0; Inkwell_GetWrittenFile(result, path, (int)sizeof path) >= 0; ++result) {
        printf("file %s\n", path);
      }
      i += 1;
    } else if (strcmp(what, "extent") == 0 && left >= 1) {
      PSToImageBox box;
      result = PSToImageGetPSExtent(argv[i + 1], &box);
      i += 2;
    } else {
      fprintf(stderr, "usage: inkwell_client COMMAND...\n");
      return 2;
    }
    printf("%s=%d\n", what, result);
    fflush(stdout);
  }
  return 0;
}
