// Where the registry database lives.
#pragma once

#include "platform/Registry.h"

#include <string>

namespace comrt::registry {

// COMRT_REGISTRY when set, else $XDG_DATA_HOME/comrt/registry.db (by default
// ~/.local/share/comrt/registry.db). Empty when no home directory can be found.
std::string registryFilePath();

// Creates the directories above a file path that do not exist yet.
LONG makeParentDirectories(const std::string& path);

} // namespace comrt::registry
