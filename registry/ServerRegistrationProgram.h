// The server's own class-registration program: the ProgIDs, the class
// identifier key with its server, threading model, AppID and type library.
#pragma once

#include "registry/RegistryProgram.h"

inline constexpr UINT kServerRegistrationWordCount = 40;
inline constexpr UINT kServerRegistrationStringCount = 18;  // without the closing null entry

extern const DWORD g_serverRegistrationWords[kServerRegistrationWordCount];
extern const RegStringEntry g_serverRegistrationStrings[kServerRegistrationStringCount + 1];
extern const RegNumberEntry g_serverRegistrationNumbers[1];
extern const RegBinaryEntry g_serverRegistrationBinaries[1];

// Expects the variables FriendlyName, MODULETYPE, MODULE, APPID and MODULEGUID.
extern const RegistryProgram g_serverRegistrationProgram;
