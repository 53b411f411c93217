// Test media made on the spot with FFmpeg's encoders (the ffmpeg command-line
// tool), never downloaded. Every maker writes into a directory the caller
// gives and returns the full path of the file it made. A failure (the tool
// missing, an encoder refusing) throws std::runtime_error naming the command.
#pragma once

#include "tests/support/Frames.h"
#include "tests/support/ScratchFiles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testmedia {

// The kit's scratch directory and file helpers under their older names here.
using TempDir = testkit::ScratchDirectory;
using testkit::readWholeFile;
using testkit::writeWholeFile;

// The exactly known picture of the raw BGR clips: pixel (x, y) of frame
// `frame`, y = 0 being the top row. No two pixels of one row or one column
// of a frame up to 4096 pixels wide and high are alike in all three bytes.
Bgr patternPixel(int x, int y, int frame);

// Frame `frame` of the pattern above.
Frame patternFrame(int width, int height, int frame = 0);

// Uncompressed BGR24 AVI of the pattern, lossless: any width and height >= 1
// (odd ones included), `frames` frames at 25 frames per second.
std::string makeRawBgrAvi(const std::string& dir, int width, int height, int frames = 1);
// Motion-JPEG AVI (4:2:0, full range), H.264 MP4 (libx264, 4:2:0, with
// B-frames when frames > 1) and MPEG-4 part 2 AVI. Width and height even.
// The picture is a moving test pattern; colours are tagged BT.601.
std::string makeMjpegAvi(const std::string& dir, int width, int height, int frames = 1);
std::string makeH264Mp4(const std::string& dir, int width, int height, int frames = 1);
std::string makeMpeg4Avi(const std::string& dir, int width, int height, int frames = 1);
// A WAV file with one second of a tone and no video stream.
std::string makeAudioOnly(const std::string& dir);
// The first `keepFraction` of `source` (rounded down to whole bytes), beside
// it in `dir` under the name "truncated-<name>".
std::string makeTruncatedCopy(const std::string& source, const std::string& dir, double keepFraction = 0.5);
// `size` bytes of a fixed pseudo-random sequence chosen by `seed`.
std::string makeRandomBytes(const std::string& dir, size_t size = 64 * 1024, uint32_t seed = 1);
// A file of zero bytes.
std::string makeEmptyFile(const std::string& dir);
// A raw BGR AVI whose headers claim `claimedWidth` x `claimedHeight` (zero,
// negative or huge) while the data is that of a small real frame: hostile input.
std::string makeAviWithClaimedSize(const std::string& dir, int32_t claimedWidth, int32_t claimedHeight);
// A copy of the AVI `source` in `dir` whose headers claim another picture
// size than its frames have.
std::string copyAviWithClaimedSize(const std::string& source, const std::string& dir, int32_t claimedWidth,
                                   int32_t claimedHeight);
// A copy of `file` under `dir`, in a sub-directory and with a file name that
// both hold non-ASCII characters (Latin, Greek and CJK); returns its UTF-8 path.
std::string placeUnderNonAsciiPath(const std::string& file, const std::string& dir);

// The first video frame of `file` as FFmpeg itself decodes and converts it
// to BGR24 (`ffmpeg -i file -frames:v 1 -f rawvideo -pix_fmt bgr24`).
Frame expectedFirstFrame(const std::string& file);

// UTF-8 to UTF-16, for the pipeline's wide-character paths.
std::u16string toUtf16(const std::string& utf8);

} // namespace testmedia
