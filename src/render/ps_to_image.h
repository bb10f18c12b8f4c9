// The Ghostscript road: PostScript, EPS and PDF inputs rendered by
// Ghostscript to images, PDF or PostScript, then finished (page files, TIFF
// recompression, formats re-encoded by the image converter).
#ifndef SCRIVEX_RENDER_PS_TO_IMAGE_H_
#define SCRIVEX_RENDER_PS_TO_IMAGE_H_

#include <string>
#include <vector>

#include "common/image_request.h"

namespace scrivex {

// Renders the input to the output (or its numbered page files) and returns
// the result of the post-processing: 1 on success, 0 when nothing was
// produced, with the reason in *why. The files written, in page order, go
// to *written when given.
int ConvertPsToImage(const ImageRequest& asked, std::string* why,
                     std::vector<std::string>* written = nullptr);

// The pages a written output file holds: a PDF's pages, a PostScript file's
// page comments, a TIFF's directories, one for an EPS, a metafile or another
// image; 0 when it cannot be read or told (DCX, MNG).
int CountOutputPages(const std::string& path);

// Outputs that Ghostscript cannot write itself: rendered to PNG pages first
// and re-encoded by the image converter.
bool NeedsImageConverter(const std::string& output);

}  // namespace scrivex

#endif  // SCRIVEX_RENDER_PS_TO_IMAGE_H_
