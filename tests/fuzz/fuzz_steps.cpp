// A steps file of any bytes reads into lines and steps without crashing; no step has an empty
// command, and numbers read the same twice.
#include "demo/Steps.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& line : suite::demo::splitStepLines(text)) {
        if (auto step = suite::demo::parseStep(line)) {
            suite::fuzz::require(!step->command.empty(), "a step has a command");
            auto first = suite::demo::parseNumber(step->argument);
            auto second = suite::demo::parseNumber(step->argument);
            suite::fuzz::require(first.has_value() == second.has_value(), "numbers read alike");
        }
    }
    return 0;
}
