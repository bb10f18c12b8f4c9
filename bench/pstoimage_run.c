/* Runs one PSToImageConverter call from the command line, through the C
 * interface of libscrivex. Used by the end-to-end tests and the benchmark.
 *
 *   pstoimage_run INPUT OUTPUT [key=value ...]
 *
 * keys: w h xres yres comp first last q bits gray (defaults as the program's
 * options: 0 0 300 300 0 -1 -1 100 24 0). Prints the result; exits 0 only
 * for result 1. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "scrivex/pstoimage.h"

int main(int argc, char** argv) {
  float w = 0, h = 0, xres = 300, yres = 300;
  int comp = 0, first = -1, last = -1, q = 100, bits = 24, gray = 0;
  if (argc < 3) {
    fprintf(stderr, "usage: %s INPUT OUTPUT [key=value ...]\n", argv[0]);
    return 2;
  }
  for (int i = 3; i < argc; ++i) {
    const char* eq = strchr(argv[i], '=');
    if (!eq) {
      fprintf(stderr, "not key=value: %s\n", argv[i]);
      return 2;
    }
    size_t n = (size_t)(eq - argv[i]);
    const char* v = eq + 1;
    if (n == 1 && argv[i][0] == 'w')
      w = strtof(v, NULL);
    else if (n == 1 && argv[i][0] == 'h')
      h = strtof(v, NULL);
    else if (n == 4 && !strncmp(argv[i], "xres", 4))
      xres = strtof(v, NULL);
    else if (n == 4 && !strncmp(argv[i], "yres", 4))
      yres = strtof(v, NULL);
    else if (n == 4 && !strncmp(argv[i], "comp", 4))
      comp = atoi(v);
    else if (n == 5 && !strncmp(argv[i], "first", 5))
      first = atoi(v);
    else if (n == 4 && !strncmp(argv[i], "last", 4))
      last = atoi(v);
    else if (n == 1 && argv[i][0] == 'q')
      q = atoi(v);
    else if (n == 4 && !strncmp(argv[i], "bits", 4))
      bits = atoi(v);
    else if (n == 4 && !strncmp(argv[i], "gray", 4))
      gray = atoi(v);
    else {
      fprintf(stderr, "unknown key: %s\n", argv[i]);
      return 2;
    }
  }
  int result =
      PSToImageConverter(argv[1], argv[2], w, h, xres, yres, comp, 1, first, last, q, bits, gray);
  printf("result = %d\n", result);
  return result == 1 ? 0 : 1;
}
