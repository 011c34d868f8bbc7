#pragma once
// A terminal that keeps what the command line writes, and answers its one question as told.
#include <string>

#include "platform/Terminal.h"

namespace suite::fakes {

struct RecordingTerminal : Terminal {
    bool watched() const override { return false; }
    bool answerable() const override { return answerable_; }
    void out(std::string_view text) override { output += text; }
    void error(std::string_view text) override { errors += text; }
    void status(std::string_view) override {}
    bool confirm(std::string_view question, std::string_view) override {
        output += question;
        return answer;
    }
    bool answerable_ = false, answer = false;
    std::string output, errors;
};

}  // namespace suite::fakes
