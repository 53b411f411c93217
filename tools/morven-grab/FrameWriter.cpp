#include "tools/morven-grab/FrameWriter.h"

#include "tools/morven-grab/ImageFiles.h"

namespace grab {

std::size_t rowPitch(const MORImageStruct& frame)
{
    return (static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.channels) + 3) & ~std::size_t{3};
}

bool writableFrame(const MORImageStruct& frame)
{
    const bool channelsOk = frame.channels == 1 || frame.channels == 3 || frame.channels == 4;
    return frame.width > 0 && frame.height > 0 && frame.depth == 8 && channelsOk && frame.data;
}

bool canWriteImageAs(const std::string& path)
{
    return imageFormatOf(path) != ImageFormat::Unknown;
}

bool writeImage(const MORImageStruct& frame, bool topFirst, const std::string& path, std::string& error)
{
    FrameView view;
    view.data = frame.data;
    view.width = frame.width;
    view.height = frame.height;
    view.channels = frame.channels;
    view.pitch = rowPitch(frame);
    view.topFirst = topFirst;
    switch (imageFormatOf(path)) {
    case ImageFormat::Bmp:
        return writeBmp(view, path, error);
    case ImageFormat::Ppm:
        return writePpm(view, path, error);
    case ImageFormat::Png:
        return writePng(view, path, error);
    case ImageFormat::Jpeg:
        return writeJpeg(view, path, error);
    case ImageFormat::Unknown:
        break;
    }
    error = "no image format is known for " + path + " (" + kImageFormats + ")";
    return false;
}

bool writeRaw(const MORImageStruct& frame, const std::string& path, std::string& error)
{
    OutputFile file(path, error);
    return file.write(frame.data, rowPitch(frame) * static_cast<std::size_t>(frame.height)) && file.finish();
}

} // namespace grab
