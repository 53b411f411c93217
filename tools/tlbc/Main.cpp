// tlbc: compiles an IDL file into the runtime's type library format.
//
//   tlbc --codepage N [-o LIBRARY.tlb] [--embed-cpp SOURCE.cpp] INPUT.idl
//
// N is the code page the IDL file is written in; its help strings are stored
// in it. --embed-cpp writes a C++ source that places the library in a module's
// type library section.
#include "tools/tlbc/CompileError.h"
#include "tools/tlbc/Compiler.h"
#include "tools/tlbc/ImageWriter.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

int usage()
{
    std::cerr << "usage: tlbc --codepage N [-o LIBRARY.tlb] [--embed-cpp SOURCE.cpp] INPUT.idl\n";
    return 2;
}

// Writes through a temporary name so that a failed run leaves no half file.
bool writeFile(const std::string& path, const std::string& bytes)
{
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::cerr << "tlbc: cannot write " << temporary << "\n";
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::cerr << "tlbc: cannot write " << path << "\n";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

std::string baseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv)
{
    std::string input, output, embed;
    unsigned codePage = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--codepage" || arg == "-o" || arg == "--embed-cpp") && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--codepage")
                codePage = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
            else if (arg == "-o")
                output = value;
            else
                embed = value;
        } else if (!arg.empty() && arg[0] != '-' && input.empty()) {
            input = arg;
        } else {
            return usage();
        }
    }
    if (input.empty() || codePage == 0 || (output.empty() && embed.empty()))
        return usage();

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << "tlbc: cannot read " << input << "\n";
        return 1;
    }
    std::stringstream source;
    source << in.rdbuf();

    std::vector<uint8_t> image;
    try {
        image = tlbc::compileIdl(source.str(), codePage);
    } catch (const tlbc::CompileError& e) {
        std::cerr << input << ":" << (e.line() > 0 ? std::to_string(e.line()) + ":" : "") << " error: " << e.what()
                  << "\n";
        return 1;
    }
    if (!output.empty() && !writeFile(output, std::string(image.begin(), image.end())))
        return 1;
    if (!embed.empty() && !writeFile(embed, tlbc::embeddingSource(image, baseName(input))))
        return 1;
    return 0;
}
