// Removal of small specks from a 1-bit page before it is judged blank.
#ifndef SCRIVEX_IMAGE_DESPECKLE_H_
#define SCRIVEX_IMAGE_DESPECKLE_H_

#include <cstdint>

namespace scrivex {

// Clears every eight-connected group of set pixels that is a speck: fewer
// than `largest` pixels, narrower and lower than largest / 2, and not
// touching the border (the group's first pixel is not tested for that).
// Rows are (width + 31) / 32 * 4 bytes, leftmost pixel in the highest bit.
void DespeckleBitmap(uint8_t* bits, int width, int height, int largest = 100);

}  // namespace scrivex

#endif  // SCRIVEX_IMAGE_DESPECKLE_H_
