// Whether a written image file is whole: a file cut short by a full disk or
// a killed writer is no result, however it was reported.
#ifndef SCRIVEX_IMAGE_OUTPUT_CHECK_H_
#define SCRIVEX_IMAGE_OUTPUT_CHECK_H_

#include <string>

namespace scrivex {

// The type comes from typeName's extension (a staging file's own name may
// say nothing). TIFF: every page's directory and data lie inside the file;
// PNG, JPEG: the closing marker is there; BMP: the size its header gives;
// any other type: not empty. False with *why set otherwise. *pages, when
// given, gets the pages the file holds (a TIFF's directories; else 1).
bool IsCompleteImageFile(const std::string& path, const std::string& typeName, std::string* why,
                         int* pages = nullptr);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_OUTPUT_CHECK_H_
