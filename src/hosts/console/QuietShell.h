#pragma once
// The shell of a run without a window: there is nothing to show, bring forward or end early (the
// request ends the run), and log lines go to the system log as the window's do.
#include <glib.h>

#include "platform/Shell.h"

namespace suite::console {

class QuietShell final : public Shell {
  public:
    std::unique_ptr<Window> createWindow(const WindowSpec&, WindowDelegate&,
                                         SchemeResponder) override {
        return nullptr;
    }
    void setActivationPolicy(ActivationPolicy) override {}
    void activate() override {}
    void terminate() override {}
    void setMenuBar(const MenuBar&, MenuDelegate&) override {}
    void showAbout(const AboutInfo&) override {}
    void openUri(const std::string&) override {}
    void logToSystem(const std::string& line) override { g_message("%s", line.c_str()); }
    void restUntil(std::optional<double>) override {}
};

}  // namespace suite::console
