// Messages, errors and the Yes/No question.
#include "tools/reg/RegTool.h"

#include <cctype>
#include <iostream>

namespace regtool {

namespace {

std::string messageFor(LONG code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "Not enough memory resources are available to process this command.";
    case ERROR_DISK_FULL:
        return "There is not enough space on the disk.";
    case ERROR_INVALID_PARAMETER:
        return "The parameter is incorrect.";
    case ERROR_BAD_PATHNAME:
        return "The specified path is invalid.";
    case ERROR_BUSY:
        return "The registry is in use by other processes; try again.";
    case ERROR_BADDB:
        return "The configuration registry database is corrupt.";
    case ERROR_CANTOPEN:
        return "The configuration registry database could not be opened.";
    case ERROR_REGISTRY_CORRUPT:
        return "The registry is corrupted.";
    case ERROR_REGISTRY_IO_FAILED:
        return "An I/O operation initiated by the registry failed unrecoverably.";
    case ERROR_KEY_DELETED:
        return "Illegal operation attempted on a registry key that has been marked for deletion.";
    default:
        return "The registry call failed with error " + std::to_string(code) + ".";
    }
}

} // namespace

int fail(const std::string& message)
{
    std::cout.flush();
    std::cerr << "ERROR: " << message << '\n';
    return 1;
}

int failWith(LONG code)
{
    return fail(messageFor(code));
}

bool confirm(const std::string& question)
{
    for (;;) {
        std::cout << question << " (Yes/No)? " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::cout << '\n';
            return false;
        }
        for (char& c : answer)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back())))
            answer.pop_back();
        if (answer == "y" || answer == "yes")
            return true;
        if (answer == "n" || answer == "no")
            return false;
    }
}

int succeeded()
{
    std::cout << "The operation completed successfully.\n";
    return 0;
}

} // namespace regtool
