// Every JSON the program reads (settings, the page's messages, the remembered window size, the
// feedback service's answers) goes through one depth-limited reader: whatever the bytes, it
// never crashes and nothing it returns is deeper than the limit; settings read from such text
// are always an object.
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/Settings.h"
#include "common/Json.h"
#include "fuzz/FuzzInput.h"

namespace {

int depthOf(const suite::Json& root) {
    int deepest = 0;
    std::vector<std::pair<const suite::Json*, int>> pending = {{&root, 0}};
    while (!pending.empty()) {
        auto [value, depth] = pending.back();
        pending.pop_back();
        if (!value->is_structured()) continue;
        deepest = std::max(deepest, depth + 1);
        for (const auto& child : *value) pending.emplace_back(&child, depth + 1);
    }
    return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const suite::Json parsed = suite::parseJson(text);
    suite::fuzz::require(depthOf(parsed) <= suite::kMaxJsonDepth, "nothing deeper than the limit");

    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("talven-fuzz-settings-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(size));
    suite::fuzz::require(suite::loadSettings(file).is_object(), "settings are an object");
    return 0;
}
