// An application's information file or a receipt, XML or binary, of any bytes: read without
// crashing, exhausting memory or reading out of bounds; a string found is valid UTF-8.
#include "backends/macos/PropertyList.h"
#include "common/Utf8.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    suite::Plist dictionary = suite::parsePlistDictionary(text);
    if (!dictionary) return 0;
    for (const char* key : {"CFBundleShortVersionString", "CFBundleVersion", "pkg-version"}) {
        if (auto value = suite::plistString(dictionary, key)) {
            suite::fuzz::require(suite::isValidUtf8(*value), "strings are valid UTF-8");
        }
    }
    return 0;
}
