// The three image-header functions the capture code calls, for the Windows
// build. Like the library they refuse what they cannot describe by throwing
// (a C++ exception derived from std::exception), and they never own pixels.
#pragma once

#include "opencv2/core/types_c.h"

#include <stddef.h>

// A header for width x height pixels of the given depth and channel count,
// origin top-left, rows aligned to 4 bytes, without pixel memory.
CVAPI(IplImage*) cvCreateImageHeader(CvSize size, int depth, int channels);

// Frees the header (never the pixels) and nulls the caller's pointer.
CVAPI(void) cvReleaseImageHeader(IplImage** image);

// Flip mode 0 reverses the row order; with no destination, in place.
CVAPI(void) cvFlip(const CvArr* src, CvArr* dst CV_DEFAULT(NULL), int flip_mode CV_DEFAULT(0));
