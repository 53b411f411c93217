// The first-frame corpus: files made with FFmpeg's encoders and muxers, some
// patched afterwards the way other software writes them (bottom-up AVI,
// transport streams cut mid-GOP). Made once per build tree and kept; a file
// is made again when its recipe changes.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace conformance {

enum class Expect {
    Frame,   // FFmpeg decodes a first frame
    NoFrame, // FFmpeg itself finds no frame: the component must fail cleanly
};

struct CorpusCase {
    std::string name;   // test name: letters, digits and '_'
    std::string file;   // path under the corpus directory; may be a printf pattern
    std::string recipe; // steps separated by " ; ", see Corpus.cpp
    Expect expect = Expect::Frame;
};

const std::vector<CorpusCase>& corpus();
// A case's name, for the test framework's messages.
void PrintTo(const CorpusCase& item, std::ostream* out);
// The case of that name; throws std::out_of_range when there is none.
const CorpusCase& corpusCase(const std::string& name);

// The full path of the case's file, made first when missing or when its
// recipe changed. Safe against other processes making the same case.
std::string corpusFile(const CorpusCase& item);

} // namespace conformance
