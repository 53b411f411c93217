// The whole registry as lines of text, to compare one state with another.
#pragma once

#include <string>
#include <vector>

namespace testkit {

// One line for each key under the predefined roots ("HKCR\CLSID\{...}") and
// one for each value ("HKCR\CLSID\{...} [AppID] 1 \"\\0\""): the value's name
// ("" for the default), its type and its bytes, non-printable ones escaped.
// Sorted, so that two registries with the same contents give the same lines
// whatever order their keys were made in.
std::vector<std::string> registrySnapshot();

} // namespace testkit
