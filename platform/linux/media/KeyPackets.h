// Speed only: what a key packet promises about the pictures after it.
#pragma once

struct AVCodecParameters;
struct AVPacket;

namespace comrt::media {

// Whether the picture of this packet, decoded first, is certain to be the
// first picture the stream shows: no later packet can hold a picture that
// is shown before it. Then a decoder that holds pictures back to reorder
// them may be drained at once for it. True for an H.264 IDR access unit and
// for an MPEG-4 part 2 I-VOP (the decoder skips B-VOPs that lack a
// reference); false whenever in doubt: a packet marked to be discarded (the
// start of an edit list), open GOPs, other codecs.
bool showsFirstWhenDecodedFirst(const AVCodecParameters& stream, const AVPacket& packet);

} // namespace comrt::media
