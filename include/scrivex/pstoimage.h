/* Rendering PostScript, EPS and PDF files to images, and reading their
 * extent and image information. C interface of libscrivex. */
#ifndef SCRIVEX_PSTOIMAGE_H_
#define SCRIVEX_PSTOIMAGE_H_

#if defined(__GNUC__)
#define PSTOIMAGE_API __attribute__((visibility("default")))
#else
#define PSTOIMAGE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A bounding box in PostScript points (1/72 inch). */
typedef struct PSToImageBox {
  float llx;
  float lly;
  float urx;
  float ury;
} PSToImageBox;

/* Called once per conversion before the produced images are post-processed,
 * with the first produced file, "Processing image files..." and 0. Returning
 * 0 skips the post-processing (the conversion still reports success). */
typedef int (*PSToImageProgressCallback)(const char* path, const char* message, int value);

/* Renders inputPath to outputPath; the output's extension names the type
 * (tif, jpg, png, bmp, pcx, gif, tga, dcx, mng, pdf, ps, eps). Raster types
 * other than TIFF (and DCX, MNG) are written as numbered pages name_0001.ext.
 * width/height in pixels (0: from the bounding box), resolutions in dpi
 * (0 <= r < 1200; 0: Ghostscript's default). scratch is unused. firstPage and
 * lastPage > 0 limit the pages. Returns 1 on success, 0 when nothing was
 * produced, -1 for missing paths. */
PSTOIMAGE_API int PSToImageConverter(const char* inputPath, const char* outputPath, float width,
                                     float height, float resolutionX, float resolutionY,
                                     int tiffCompression, int scratch, int firstPage, int lastPage,
                                     int jpegQuality, int colorBits, int grayscale);

/* The files the process's last PSToImageConverter wrote, in page order (none
 * after a failure): copies the index-th path (from 0), terminated, into path,
 * which holds size bytes, and returns its length; -1 when there is no such
 * file, or path is NULL or too small. */
PSTOIMAGE_API int PSToImageGetWrittenFile(int index, char* path, int size);

/* Replaces the progress callback; NULL removes it. */
PSTOIMAGE_API void PSToImageSetProgressCBFunc(PSToImageProgressCallback callback);

/* 1 and the box when the file's DSC comments give a bounding box, else 0. */
PSTOIMAGE_API int PSToImageGetPSExtent(const char* path, PSToImageBox* box);

/* Image properties from the file's comments; every output may be NULL.
 * 1 on success, else 0 (outputs then 0). */
PSTOIMAGE_API int PSToImageGetInformation(const char* path, float* xResolution, float* yResolution,
                                          float* width, float* height, int* bitsPerPixel);

#ifdef __cplusplus
}
#endif

#endif /* SCRIVEX_PSTOIMAGE_H_ */
