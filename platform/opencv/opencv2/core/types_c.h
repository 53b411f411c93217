// The image library's header record and sizes, as far as the capture code uses
// them, for the Windows build (Debian ships the library for Linux only). Names,
// values and field order are the library's own, so the record has its layout.
#pragma once

#ifdef __cplusplus
#define CV_EXTERN_C extern "C"
#else
#define CV_EXTERN_C
#endif

#ifdef _WIN32
#define CV_CDECL __cdecl
#else
#define CV_CDECL
#endif

#ifndef CV_DEFAULT
#ifdef __cplusplus
#define CV_DEFAULT(val) = val
#else
#define CV_DEFAULT(val)
#endif
#endif

#define CVAPI(rettype) CV_EXTERN_C rettype CV_CDECL
#define CV_INLINE static inline

typedef void CvArr;

#define IPL_DEPTH_SIGN 0x80000000
#define IPL_DEPTH_1U 1
#define IPL_DEPTH_8U 8
#define IPL_DEPTH_16U 16
#define IPL_DEPTH_32F 32
#define IPL_DEPTH_64F 64
#define IPL_DEPTH_8S (IPL_DEPTH_SIGN | 8)
#define IPL_DEPTH_16S (IPL_DEPTH_SIGN | 16)
#define IPL_DEPTH_32S (IPL_DEPTH_SIGN | 32)

#define IPL_DATA_ORDER_PIXEL 0
#define IPL_DATA_ORDER_PLANE 1

#define IPL_ORIGIN_TL 0
#define IPL_ORIGIN_BL 1

#define IPL_ALIGN_4BYTES 4
#define IPL_ALIGN_8BYTES 8
#define IPL_ALIGN_DWORD IPL_ALIGN_4BYTES
#define IPL_ALIGN_QWORD IPL_ALIGN_8BYTES

#define CV_DEFAULT_IMAGE_ROW_ALIGN 4

struct _IplROI;
struct _IplTileInfo;

typedef struct _IplImage {
    int nSize;          // sizeof(IplImage): marks a valid header
    int ID;
    int nChannels;
    int alphaChannel;
    int depth;          // bits per channel, IPL_DEPTH_SIGN for signed types
    char colorModel[4];
    char channelSeq[4];
    int dataOrder;      // 0: interleaved channels
    int origin;         // 0: top-left, 1: bottom-left
    int align;          // 4 or 8
    int width;
    int height;
    struct _IplROI* roi;
    struct _IplImage* maskROI;
    void* imageId;
    struct _IplTileInfo* tileInfo;
    int imageSize;      // height * widthStep
    char* imageData;
    int widthStep;      // bytes per row, padded to align
    int BorderMode[4];
    int BorderConst[4];
    char* imageDataOrigin;
} IplImage;

typedef struct CvSize {
    int width;
    int height;
} CvSize;

CV_INLINE CvSize cvSize(int width, int height)
{
    CvSize s = {width, height};
    return s;
}
