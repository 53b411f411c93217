// One run of a checked registry program against the registry.
#pragma once

#include "registry/ReplacementMap.h"

// Registration creates keys and writes values; unregistration removes keys.
// The program must have passed checkRegistryProgram.
HRESULT runCheckedProgram(const ReplacementMap& variables, const RegistryProgram& program, bool bRegister);
