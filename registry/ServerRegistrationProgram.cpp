#include "registry/ServerRegistrationProgram.h"

// Under HKEY_CLASSES_ROOT:
//   MORVEN.CMORVENProc.1            default: FriendlyName
//     CLSID                         default: the class identifier
//   MORVEN.CMORVENProc              default: FriendlyName
//     CLSID                         default: the class identifier
//     CurVer                        default: MORVEN.CMORVENProc.1
//   CLSID                           kept when unregistering
//     {class identifier}            replaced when registering; default: FriendlyName,
//                                   AppID = APPID
//       ProgID                      default: MORVEN.CMORVENProc.1
//       VersionIndependentProgID    default: MORVEN.CMORVENProc
//       Programmable                replaced when registering
//       MODULETYPE                  default: MODULE, ThreadingModel = apartment
//       TypeLib                     default: MODULEGUID

const RegStringEntry g_serverRegistrationStrings[kServerRegistrationStringCount + 1] = {
    {"", 0},                                        // 0
    {"MORVEN.CMORVENProc.1", 0},                    // 1
    {"%FriendlyName%", 1},                          // 2
    {"CLSID", 0},                                   // 3
    {"{FB82882C-A2F5-48F3-8A8D-F336890341D1}", 0},  // 4
    {"MORVEN.CMORVENProc", 0},                      // 5
    {"CurVer", 0},                                  // 6
    {"ProgID", 0},                                  // 7
    {"VersionIndependentProgID", 0},                // 8
    {"Programmable", 0},                            // 9
    {"%MODULETYPE%", 1},                            // 10
    {"%MODULE%", 1},                                // 11
    {"ThreadingModel", 0},                          // 12
    {"apartment", 0},                               // 13
    {"AppID", 0},                                   // 14
    {"%APPID%", 1},                                 // 15
    {"TypeLib", 0},                                 // 16
    {"%MODULEGUID%", 1},                            // 17
    {nullptr, 0},                                   // end of table
};

const DWORD g_serverRegistrationWords[kServerRegistrationWordCount] = {
    0x70000000,  //  0 Root         HKEY_CLASSES_ROOT
    0x30004000,  //  1 Key          1  MORVEN.CMORVENProc.1
    0x80000002,  //  2 StringValue  default = 2
    0x50000000,  //  3 BeginBlock
    0x3000C000,  //  4 Key          3  CLSID
    0x80000004,  //  5 StringValue  default = 4
    0x60000000,  //  6 EndBlock
    0x30014000,  //  7 Key          5  MORVEN.CMORVENProc
    0x80000002,  //  8 StringValue  default = 2
    0x50000000,  //  9 BeginBlock
    0x3000C000,  // 10 Key          3  CLSID
    0x80000004,  // 11 StringValue  default = 4
    0x30018000,  // 12 Key          6  CurVer
    0x80000001,  // 13 StringValue  default = 1
    0x60000000,  // 14 EndBlock
    0x1000C000,  // 15 KeepKey      3  CLSID
    0x3000C000,  // 16 Key          3  CLSID
    0x50000000,  // 17 BeginBlock
    0x20010000,  // 18 ReplaceKey   4  class identifier
    0x30010000,  // 19 Key          4  class identifier
    0x80000002,  // 20 StringValue  default = 2
    0x50000000,  // 21 BeginBlock
    0x3001C000,  // 22 Key          7  ProgID
    0x80000001,  // 23 StringValue  default = 1
    0x30020000,  // 24 Key          8  VersionIndependentProgID
    0x80000005,  // 25 StringValue  default = 5
    0x20024000,  // 26 ReplaceKey   9  Programmable
    0x30024000,  // 27 Key          9  Programmable
    0x30028000,  // 28 Key          10 %MODULETYPE%
    0x8000000B,  // 29 StringValue  default = 11
    0x50000000,  // 30 BeginBlock
    0x8003000D,  // 31 StringValue  12 = 13
    0x60000000,  // 32 EndBlock
    0x8003800F,  // 33 StringValue  14 = 15
    0x30040000,  // 34 Key          16 TypeLib
    0x80000011,  // 35 StringValue  default = 17
    0x60000000,  // 36 EndBlock
    0x60000000,  // 37 EndBlock
    0x60000000,  // 38 EndBlock
    0x00000000,  // 39 End
};

const RegNumberEntry g_serverRegistrationNumbers[1] = {{0, 0}};
const RegBinaryEntry g_serverRegistrationBinaries[1] = {{nullptr, 0, 0}};

const RegistryProgram g_serverRegistrationProgram = {
    g_serverRegistrationWords,
    g_serverRegistrationStrings,
    g_serverRegistrationNumbers,
    g_serverRegistrationBinaries,
    kServerRegistrationWordCount,
};
