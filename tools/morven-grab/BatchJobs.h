// What a batch is to do: its inputs (videos, folders, a list) turned into one job
// per file, each with the image it is to write.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace grab {

struct BatchJob {
    std::string input;   // the file, as given or as found in a folder
    std::string output;  // the image to write
    std::string problem; // not empty: the file fails for this reason without a worker
};

// Paths from a list: one per line (a CR before the line end dropped, empty lines
// skipped) or, with `nullSeparated`, ended by NUL bytes.
std::vector<std::string> readPathList(std::istream& in, bool nullSeparated);

// One job per file, in the order given, folders in the order of their paths:
// - a file named (as an argument or in the list that "-" reads) gives its image
//   directly in `outputDir`; one that does not exist is a job with a problem;
// - a folder gives its files, sub-folders included, under the same sub-folders of
//   `outputDir`; hidden entries, `outputDir` itself and anything but regular files
//   (and links to them) are left out;
// - a file met twice is done once.
// The image is named by imageNameFor(file name, extension). Where two files would
// get the same image, or an image would replace one of the inputs, each such file's
// image keeps the whole file name ("a.mp4.png"), numbered if that is not enough.
std::vector<BatchJob> planBatch(const std::vector<std::string>& inputs,
                                const std::function<std::vector<std::string>()>& readList,
                                const std::string& outputDir, const std::string& extension);

} // namespace grab
