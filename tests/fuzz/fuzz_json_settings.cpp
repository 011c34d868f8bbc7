// Settings, like every JSON the program reads, go through one depth-limited reader: whatever the
// bytes, reading them never crashes and gives an object. Where the limit lies is the unit test's.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/Settings.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("talven-fuzz-settings-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(size));
    suite::fuzz::require(suite::loadSettings(file).is_object(), "settings are an object");
    return 0;
}
