// Shared pieces of the type library tests: the kit's holders, scratch files,
// registry and readers, and compiling IDL text on the fly.
#pragma once

#include "platform/TypeLib.h"
#include "tests/support/ComHolders.h"
#include "tests/support/RegistryReads.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/ScratchRegistry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace typelib_test {

using testkit::Bstr;
using testkit::keyExists;
using testkit::readWholeFile;
using testkit::Ref;
using testkit::ScratchDirectory;
using testkit::ScratchRegistry;
using testkit::stringValue;
using testkit::writeWholeFile;

std::u16string wide(const std::string& ascii);

// Compiles IDL text (code page 936) into a library image.
std::vector<uint8_t> compile(const std::string& idl);

// The base declarations every test IDL starts with, and a library around a body.
std::string idlPrelude();
std::string idlLibrary(const std::string& attributes, const std::string& body);

HRESULT loadImage(const std::vector<uint8_t>& image, const std::string& path, ITypeLib** lib);

// Visits everything a library answers, so that a damaged one that loaded is
// read in full (the sanitizers see any bad access).
void readEverything(ITypeLib* lib);

} // namespace typelib_test
