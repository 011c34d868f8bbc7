#pragma once
// The application on GTK: GtkApplication, its actions and accelerators, the menu bar model,
// the about dialog, presence in the background, default handlers for addresses, and the ends
// that come from outside (SIGTERM, SIGINT, the session ending), which keep the window size too.
#include <gtk/gtk.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Shell.h"

namespace suite::gtk {

class GtkMainWindow;

class GtkShell final : public Shell {
  public:
    explicit GtkShell(GtkApplication* app);
    ~GtkShell() override;

    std::unique_ptr<Window> createWindow(const WindowSpec& spec, WindowDelegate& delegate,
                                         SchemeResponder scheme) override;
    void setActivationPolicy(ActivationPolicy policy) override;
    void activate() override;
    void terminate() override;
    void setMenuBar(const MenuBar& bar, MenuDelegate& delegate) override;
    void showAbout(const AboutInfo& info) override;
    void openUri(const std::string& uri) override;
    void logToSystem(const std::string& line) override;
    // Replaces this process with the waiting program, when it was given one.
    void restUntil(std::optional<double> wakeAtMs) override;

    // The waiting program this process makes way for while it rests, the program it starts
    // again, and what keeps this process from making way for now (asked at each rest); without
    // this call the program rests in this process, its view dropped.
    void restIn(std::filesystem::path waiter, std::filesystem::path program,
                std::function<bool()> mustStay = {});
    // Makes way after all, when the last rest was held back by `mustStay` and no window has been
    // made since.
    void restAgain();

    // The window most recently created, for tests that drive the page.
    GtkMainWindow* mainWindow() const { return window_; }

  private:
    static void onAction(GSimpleAction* action, GVariant*, gpointer self);
    static void onSessionEnding(GtkApplication*, gpointer self);
    void runCommand(MenuCommand command);

    GtkApplication* app_;
    std::vector<guint> signalSources_;
    GtkWidget* about_ = nullptr;  // the about window while it is open
    GMenu* menuModel_ = nullptr;
    bool rightToLeft_ = false;
    std::string menuBarName_;
    MenuDelegate* menuDelegate_ = nullptr;
    GtkMainWindow* window_ = nullptr;
    bool held_ = false;
    std::filesystem::path waiter_;
    std::filesystem::path program_;
    std::function<bool()> mustStay_;
    std::optional<std::optional<double>> heldRest_;  // the wake time of a rest held back
};

// Adds the icons built beside `executable` (a build tree's "icons" folder) to the icon theme, so
// that a run from the build tree has the window icon and the about logo an installed one has.
void useIconsBesideProgram(const std::filesystem::path& executable);

}  // namespace suite::gtk
