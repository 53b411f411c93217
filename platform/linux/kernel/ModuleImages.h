// What the dynamic linker knows about the objects loaded into the process, in
// the platform's terms: a module handle is the load base of an ELF object (the
// dli_fbase that dladdr reports for any address inside it).
#pragma once

#include "platform/Kernel.h"

#include <string>

namespace comrt {

// The module that contains an address, or null.
HMODULE moduleContaining(const void* address);
// True when the handle is the base of a loaded object.
bool isModuleBase(HMODULE module);
HMODULE mainExecutable();
// The module of a handle returned by dlopen.
HMODULE moduleOfImage(void* image);
// The module's full file name, or empty when it cannot be told.
std::string moduleFilePath(HMODULE module);
// A loaded module whose file name matches, case-insensitively; the name may
// carry a directory or not.
HMODULE findModuleByName(const char* name);
// A fresh dlopen handle for a module that is already loaded (dlclose it), or null.
void* openLoadedImage(HMODULE module);
// A symbol defined by the module itself, never one of its dependencies.
void* findOwnExport(void* image, HMODULE module, const char* name);

} // namespace comrt
