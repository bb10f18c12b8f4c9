#include <cstdio>

#include "driver/options.h"
#include "platform/terminal.h"

#ifndef SCRIVEX_VERSION_TEXT
#error "SCRIVEX_VERSION_TEXT comes from the build: the packaging's version"
#endif

namespace scrivex {

namespace {

const char* const kUsageLines[] = {
    "Brindle Document Converter v2.1",
    "Brindle Inc., document conversion tools",
    "Support and updates: see the documentation shipped with this program",
    "Report problems with the exact command line and the input file",
    "-------------------------------------------------------",
    "Description:",
    "Convert *.DOC;*.RTF;*.PPT;*.XLS;*.VSD;*.PDF;*.HTML etc. files to "
    "PDF,PS,EPS,JPEG,TIFF,PNG,BMP,WMF,EMF etc. files",
    "Please Notice: Command Line options are CASE SENSITIVE.",
    "Release Date: Feb 11 2008",
    "Usage: scrivex [options] <-i Document Files> [-o Output]",
    "-i <input files>    : filename for input",
    "-o <output files>   : filename for output",
    "-j <subject>        : \"subject\" for PDF file",
    "-t <title>          : \"title\" for PDF file",
    "-a <author>         : \"author\" for PDF file",
    "-k <keywords>       : \"keywords\" for PDF file",
    "-g <page range>     : page range for conversion, eg: 1,2-4,6",
    "-G                  : don't append suffix to filename for single page file",
    "-p <output Flag>    : a flag for PDF output",
    "   -p 0: overwrite if PDF file exists",
    "   -p 1: insert before first page if PDF file exists",
    "   -p 2: append to last page if PDF file exists",
    "   -p 3: rename filename if PDF file exists",
    "-b <color type>     : specify color type for output file",
    "   -b 1: output black and white image file",
    "   -b 8: output 256 colors image file",
    "   -b 24: output True Colors image file",
    "-c <compression>    : compression for TIFF output format",
    "   -c 1     : NONE compression",
    "   -c 2     : CCITT modified Huffman RLE",
    "   -c 3     : CCITT Group 3 fax encoding (1d)",
    "   -c 4     : CCITT Group 4 fax encoding",
    "   -c 5     : LZW compression",
    "   -c 6     : OJPEG compression",
    "   -c 7     : JPEG DCT compression",
    "   -c 32773 : PACKBITS compression",
    "   -c 32809 : THUNDERSCAN compression",
    "   -c 88880 : 204x98  G4 ClassF TIFF",
    "   -c 88881 : 204x196 G4 ClassF TIFF",
    "   -c 88882 : 204x98  G3 ClassF TIFF",
    "   -c 88883 : 204x196 G3 ClassF TIFF",
    "   -c 88884 : CCITT Group 3 fax encoding (2d)",
    "-R <Rotate>         : rotate page 90, 180, 270 angle",
    "-r <resolution>     : set resolution in generated image file",
    "   -r 300      : set X and Y resolution within document to image conversion",
    "   -r 300x600  : set X and Y resolution within document to image conversion",
    "   -r 200x300  : set X and Y resolution within document to image conversion",
    "-w <image width>    : fix the paper width within document to image conversion",
    "-h <image height>   : fix the paper height within document to image conversion",
    "-f <paper size>     : set the paper size to printer",
    "   -f 8               : standard paper size",
    "   -f \"11x17in\"       : set 11x17inch to printer",
    "   -f \"215.9x279.4mm\" : set 215.9x279.4mm to printer",
    "   -f \"612x792pt\"     : set 612x792pt to printer",
    "-z <PrintZoomPaper>: set print zoom paper for MS Office document printing",
    "    -z 12240x15840 : scale to Letter print paper size",
    "    -z 11907x16839 : scale to A4 print paper size",
    "-e                 : set \"Inkwell\" as default printer, otherwise, \"Inkwell",
    "                     PDF Driver\" is the default printer",
    "-E <types>         : options to process Excel Sheets",
    "    -E 0 : print all Excel sheets one by one, and merge them together",
    "    -E 1 : print all Excel sheets one by one, do not merge them together",
    "    -E 2 : print all sheets with one print command from MS Excel",
    "    -E 3 : create a PDF file for each sheet and a PDF for all sheets",
    "-l <millisecond>   : wait a few milliseconds before convert HTML file",
    "-V                 : view the generated PDF file automatically",
    "-d                 : hide MS Office printing dialog within conversion",
    "-y                 : create 8-bit grayscale image file",
    "-D                 : improve speed for MS Office document conversion",
    "-O <orientation>   : set orientation to printer",
    "    -O 1 : PORTRAIT mode, default",
    "    -O 2 : LANDSCAPE mode",
    "-?                 : Help",
    "-------------------------------------------------------",
    "Example:",
    "    scrivex -i C:\\input.doc -o C:\\output.pdf",
    "    scrivex -i C:\\input.doc -o C:\\output.emf",
    "    scrivex -i C:\\input.doc -o C:\\output.wmf",
    "    scrivex -i C:\\input.doc -o C:\\output.bmp",
    "    scrivex -i C:\\input.xls -o C:\\output.pdf",
    "    scrivex -i C:\\input.vsd -o C:\\output.tif",
    "    scrivex -i C:\\input.pdf -o C:\\output.tif",
    "    scrivex -i C:\\input.ps -o C:\\output.jpg",
    "    scrivex -i C:\\input.eps -o C:\\output.jpg",
    "    scrivex -R 90 -i C:\\input.ppt -o C:\\output.tif",
    "    scrivex -R 270 -i C:\\input.ppt -o C:\\output.tif",
    "    scrivex -i \"http://www.example.com/index.html\" -o C:\\output.pdf",
    "    scrivex -i C:\\input.pdf -o C:\\out.tif -b 24",
    "    scrivex -i C:\\in.pdf -o C:\\out.tif -b 1 -r 200x300",
    "    scrivex -i C:\\in.pdf -o C:\\out.jpg -b 24 -r 200x300",
    "    scrivex -i C:\\*.doc -o C:\\*.pdf",
    "    scrivex -i C:\\*.xls -o C:\\*.pdf",
    "    scrivex -i C:\\*.xls -o C:\\*.jpg",
    "    scrivex -p 2 -i C:\\input.ppt -o C:\\output.pdf",
    "    scrivex -a \"Author\" -i C:\\input.dwg -o C:\\output.pdf",
    "    scrivex -l 10000 -i \"http://www.example.com/index.html\" -o C:\\output.pdf",
};

static_assert(sizeof kUsageLines / sizeof kUsageLines[0] == 96, "the usage text has 96 lines");

}  // namespace

void WriteUsage(std::FILE* out) {
  for (const char* line : kUsageLines) {
    std::fputs(line, out);
    std::fputc('\n', out);
  }
}

int ShowUsage() {
  WriteUsage(stdout);
  std::fputs("Press any key to continue...\n", stdout);
  std::fflush(stdout);
  if (platform::InteractiveConsole()) std::getchar();
  return 1;
}

void WriteVersion(std::FILE* out) { std::fprintf(out, "scrivex %s\n", SCRIVEX_VERSION_TEXT); }

}  // namespace scrivex
