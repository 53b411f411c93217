// reg: query, add and delete registry keys and values.
#include "tools/reg/RegTool.h"

#include <iostream>

namespace {

const char kUsage[] =
    "REG QUERY KeyName [/v ValueName | /ve] [/s]\n"
    "REG ADD KeyName [/v ValueName | /ve] [/t Type] [/d Data] [/f]\n"
    "REG DELETE KeyName [/v ValueName | /ve | /va] [/f]\n"
    "\n"
    "  KeyName  ROOTKEY\\SubKey, ROOTKEY one of HKCR, HKCU, HKLM, HKU, HKCC (or their long names)\n"
    "  /v       the value named; /ve the key's default value; /va every value of the key\n"
    "  /s       query the key and all its subkeys\n"
    "  /t       REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE\n"
    "  /d       data: text; REG_MULTI_SZ strings separated by \\0; numbers in decimal or 0x hex;\n"
    "           binary data as hexadecimal digits\n"
    "  /f       overwrite or delete without asking\n";

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "/?" || arguments[0] == "-?" || arguments[0] == "--help")) {
        std::cout << kUsage;
        return 0;
    }
    regtool::Command command;
    std::string error;
    if (!regtool::parseCommand(arguments, command, error))
        return regtool::fail(error);
    if (command.operation == "query")
        return regtool::runQuery(command);
    if (command.operation == "add")
        return regtool::runAdd(command);
    return regtool::runDelete(command);
}
