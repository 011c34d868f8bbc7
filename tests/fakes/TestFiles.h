#pragma once
// Files a test writes for the product to run, or reads back from it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Digest.h"

namespace suite::fakes {

// Writes an executable /bin/sh script that runs `body`, and answers its path.
inline std::filesystem::path writeScript(const std::filesystem::path& path,
                                         const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// All that was written to `file` (a std::tmpfile standing in for a stream); closes it.
inline std::string readBack(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

// The SHA-256 of `text`, as a catalog gives a package's digest.
inline std::string digestOf(const std::string& text) {
    Sha256 hash;
    hash.add(text.data(), text.size());
    return *hash.hex();
}

}  // namespace suite::fakes
