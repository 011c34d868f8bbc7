// Whatever the page posts, the bridge decodes it without crashing, in demo mode and out of it,
// and demo mode never lets through more than a normal run does.
#include "bridge/Actions.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const suite::Json body = suite::Json::parse(data, data + size, nullptr, false);
    const auto normal = suite::bridge::decodeAction(body, false);
    const auto demo = suite::bridge::decodeAction(body, true);
    if (demo) suite::fuzz::require(normal.has_value(), "demo mode accepts only what a run does");
    return 0;
}
