// scrivex: converts documents, PostScript and PDF into PDF, PostScript and images.
#include "driver/driver_main.h"

int main(int argc, char** argv) {
  scrivex::Converters converters;
  return scrivex::DriverMain(argc, argv, converters);
}
