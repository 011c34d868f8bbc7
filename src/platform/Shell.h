#pragma once
// The application as the desktop sees it: its presence, its menu bar, its about panel, its
// windows, and handing addresses to the user's default programs.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace suite {

enum class ActivationPolicy {
    Regular,    // a normal application with a window
    Accessory,  // runs on in the background with no window
};

enum class MenuCommand {
    About,
    CheckNow,
    OpenSettings,
    Hide,
    Quit,
    Undo,
    Cut,
    Copy,
    Paste,
    SelectAll,
    Minimize,
    Close,
    ZoomIn,
    ZoomOut,
    ZoomReset
};

struct MenuItem {
    std::string title;  // empty for a separator
    MenuCommand command = MenuCommand::About;
    std::string key;  // accelerator letter or sign with the primary modifier; empty: none
    bool separator = false;
    std::string
        otherKey;  // a second accelerator for the same command ("=" beside "+"); empty: none
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;
    bool isWindowsMenu = false;
};

struct MenuBar {
    std::string name;  // what screen readers call it
    std::vector<Menu> menus;
    bool rightToLeft = false;
};

struct AboutInfo {
    std::string name;
    std::string version;
    std::string credits;
    std::string rights;
};

// Receives the program's own menu commands (about, check for updates, settings, zoom).
class MenuDelegate {
  public:
    virtual ~MenuDelegate() = default;
    virtual void menuCommand(MenuCommand command) = 0;
};

class Shell {
  public:
    virtual ~Shell() = default;

    virtual std::unique_ptr<Window> createWindow(const WindowSpec& spec, WindowDelegate& delegate,
                                                 SchemeResponder scheme) = 0;

    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    // Brings the program to the front even while another one is active.
    virtual void activate() = 0;
    virtual void terminate() = 0;

    virtual void setMenuBar(const MenuBar& bar, MenuDelegate& delegate) = 0;
    virtual void showAbout(const AboutInfo& info) = 0;

    // Hands an address to the program registered for it (the default browser for web links).
    virtual void openUri(const std::string& uri) = 0;

    // One line in the system log (the journal, or standard error).
    virtual void logToSystem(const std::string& line) = 0;

    // Called with no window left and nothing under way: where the host can, this process makes
    // way for a small one that only waits for the user or for `wakeAtMs` (milliseconds since
    // 1970; nothing: the user alone) and then starts the program again. Returns when it cannot;
    // the program then waits as it is.
    virtual void restUntil(std::optional<double> wakeAtMs) = 0;
};

}  // namespace suite
