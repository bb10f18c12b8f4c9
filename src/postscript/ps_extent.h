// The extent and image properties of a PostScript or EPS file, from its DSC
// comments.
#ifndef SCRIVEX_POSTSCRIPT_PS_EXTENT_H_
#define SCRIVEX_POSTSCRIPT_PS_EXTENT_H_

#include <string>

namespace scrivex {

// In PostScript points (1/72 inch).
struct Box {
  float llx, lly, urx, ury;
};

// 1 and the box from the first "%%HiResBoundingBox:", else the first
// "%%BoundingBox:", else "%ADO_ImageableArea:" outside embedded documents;
// (atend) boxes come from the trailer. 0 when none is usable; `out` may then
// hold partly parsed values.
int ReadBoundingBox(const std::string& path, Box* out);

// Resolution (dpi), size in pixels and bits per pixel from "%ImageData:"
// against the bounding box, or 1 bit per pixel from a Black
// "%%DocumentProcessColors:". Outputs may be null; all present ones start at
// 0. 1 on success, else 0.
int GetPostScriptInformation(const std::string& path, float* xres, float* yres, float* width,
                             float* height, int* bitsPerPixel);

}  // namespace scrivex

#endif  // SCRIVEX_POSTSCRIPT_PS_EXTENT_H_
