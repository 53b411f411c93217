// The image library's header functions, our own for both builds: the header is
// filled field for field as the library fills it, and what the library
// refuses is refused here too, by the same means (an exception).
#include "opencv2/core/core_c.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

struct ImageLibraryError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool isKnownDepth(int depth)
{
    switch (static_cast<unsigned>(depth)) {
    case IPL_DEPTH_1U:
    case IPL_DEPTH_8U:
    case IPL_DEPTH_8S:
    case IPL_DEPTH_16U:
    case IPL_DEPTH_16S:
    case IPL_DEPTH_32S:
    case IPL_DEPTH_32F:
    case IPL_DEPTH_64F:
        return true;
    default:
        return false;
    }
}

// The colour model and channel order the library names for 1, 3 and 4 channels.
void setColorModel(IplImage* image, int channels)
{
    const char* model = "";
    const char* sequence = "";
    switch (channels) {
    case 1: model = "GRAY"; sequence = "GRAY"; break;
    case 3: model = "RGB"; sequence = "BGR"; break;
    case 4: model = "RGB"; sequence = "BGRA"; break;
    default: break;
    }
    std::memcpy(image->colorModel, model, std::min<size_t>(std::strlen(model) + 1, 4));
    std::memcpy(image->channelSeq, sequence, std::min<size_t>(std::strlen(sequence) + 1, 4));
}

void initImageHeader(IplImage* image, CvSize size, int depth, int channels, int origin, int align)
{
    std::memset(image, 0, sizeof(*image));
    image->nSize = sizeof(*image);
    setColorModel(image, channels);

    if (size.width < 0 || size.height < 0)
        throw ImageLibraryError("Bad input roi");
    if (!isKnownDepth(depth) || channels < 0)
        throw ImageLibraryError("Unsupported format");
    if (origin != IPL_ORIGIN_BL && origin != IPL_ORIGIN_TL)
        throw ImageLibraryError("Bad input origin");
    if (align != 4 && align != 8)
        throw ImageLibraryError("Bad input align");

    image->width = size.width;
    image->height = size.height;
    image->nChannels = channels > 1 ? channels : 1;
    image->depth = depth;
    image->align = align;
    // Computed wide: a row too long for the record is refused, not wrapped.
    const int64_t bits = int64_t{image->width} * image->nChannels * (depth & ~static_cast<int>(IPL_DEPTH_SIGN));
    const int64_t widthStep = ((bits + 7) / 8 + align - 1) & ~int64_t{align - 1};
    const int64_t imageSize = widthStep * image->height;
    if (widthStep > std::numeric_limits<int>::max() || imageSize > std::numeric_limits<int>::max())
        throw ImageLibraryError("Overflow for imageSize");
    image->widthStep = static_cast<int>(widthStep);
    image->origin = origin;
    image->imageSize = static_cast<int>(imageSize);
}

// Bytes of one pixel row without its padding: what a flip moves.
size_t rowBytes(const IplImage* image)
{
    const int channelBits = image->depth & ~static_cast<int>(IPL_DEPTH_SIGN);
    if (channelBits < 8)
        throw ImageLibraryError("Unsupported format");
    return size_t(image->width) * size_t(image->nChannels) * size_t(channelBits / 8);
}

const IplImage* asImage(const CvArr* array)
{
    // Like the library, only a header with pixels is an image.
    const IplImage* image = static_cast<const IplImage*>(array);
    if (image->nSize != sizeof(IplImage) || image->imageData == nullptr)
        throw ImageLibraryError("Unknown array type");
    if (image->roi != nullptr || image->dataOrder != IPL_DATA_ORDER_PIXEL)
        throw ImageLibraryError("Unsupported image layout");
    if (image->width < 0 || image->height < 0 || image->nChannels < 1 || !isKnownDepth(image->depth))
        throw ImageLibraryError("Bad image header");
    return image;
}

} // namespace

CV_EXTERN_C IplImage* CV_CDECL cvCreateImageHeader(CvSize size, int depth, int channels)
{
    IplImage* image = static_cast<IplImage*>(std::malloc(sizeof(IplImage)));
    if (image == nullptr)
        throw std::bad_alloc();
    try {
        initImageHeader(image, size, depth, channels, IPL_ORIGIN_TL, CV_DEFAULT_IMAGE_ROW_ALIGN);
    } catch (...) {
        std::free(image);
        throw;
    }
    return image;
}

CV_EXTERN_C void CV_CDECL cvReleaseImageHeader(IplImage** image)
{
    if (image == nullptr)
        throw ImageLibraryError("Null pointer");
    if (*image == nullptr)
        return;
    IplImage* header = *image;
    *image = nullptr;
    // The header never owns pixels; a region of interest would be its own.
    std::free(header->roi);
    std::free(header);
}

CV_EXTERN_C void CV_CDECL cvFlip(const CvArr* src, CvArr* dst, int flip_mode)
{
    // A missing source is an empty image: nothing to flip.
    if (src == nullptr)
        return;
    if (flip_mode != 0)
        throw ImageLibraryError("Only the row flip is available");
    const IplImage* source = asImage(src);
    const IplImage* target = dst == nullptr ? source : asImage(dst);
    if (target->width != source->width || target->height != source->height ||
        target->depth != source->depth || target->nChannels != source->nChannels)
        throw ImageLibraryError("Source and destination differ in type or size");
    const size_t bytes = rowBytes(source);
    if (bytes == 0 || source->height == 0)
        return;

    // Rows y and height-1-y trade places, padding untouched, as the library does.
    const int rows = source->height;
    for (int y = 0; y < (rows + 1) / 2; ++y) {
        const unsigned char* src0 = reinterpret_cast<const unsigned char*>(source->imageData) + size_t(y) * size_t(source->widthStep);
        const unsigned char* src1 = reinterpret_cast<const unsigned char*>(source->imageData) + size_t(rows - 1 - y) * size_t(source->widthStep);
        unsigned char* dst0 = reinterpret_cast<unsigned char*>(target->imageData) + size_t(y) * size_t(target->widthStep);
        unsigned char* dst1 = reinterpret_cast<unsigned char*>(target->imageData) + size_t(rows - 1 - y) * size_t(target->widthStep);
        for (size_t i = 0; i < bytes; ++i) {
            const unsigned char top = src0[i];
            const unsigned char bottom = src1[i];
            dst0[i] = bottom;
            dst1[i] = top;
        }
    }
}
