#include "hosts/gtk/GtkShell.h"

#include <glib-unix.h>
#include <malloc.h>

#include <csignal>
#include <string>
#include <utility>

#include "BuildConfig.h"
#include "hosts/gtk/GtkMainWindow.h"
#include "notify/Waiting.h"
#include "platform/Process.h"

namespace suite::gtk {

namespace {

struct CommandAction {
    MenuCommand command;
    const char* name;
    const char* editing = nullptr;  // the page's editing command it runs, if it is one
};

constexpr CommandAction kActions[] = {
    {MenuCommand::About, "about"},
    {MenuCommand::CheckNow, "check-now"},
    {MenuCommand::OpenSettings, "settings"},
    {MenuCommand::Hide, "hide"},
    {MenuCommand::Quit, "quit"},
    {MenuCommand::Undo, "undo", WEBKIT_EDITING_COMMAND_UNDO},
    {MenuCommand::Cut, "cut", WEBKIT_EDITING_COMMAND_CUT},
    {MenuCommand::Copy, "copy", WEBKIT_EDITING_COMMAND_COPY},
    {MenuCommand::Paste, "paste", WEBKIT_EDITING_COMMAND_PASTE},
    {MenuCommand::SelectAll, "select-all", WEBKIT_EDITING_COMMAND_SELECT_ALL},
    {MenuCommand::Minimize, "minimize"},
    {MenuCommand::Close, "close"},
    {MenuCommand::ZoomIn, "zoom-in"},
    {MenuCommand::ZoomOut, "zoom-out"},
    {MenuCommand::ZoomReset, "zoom-reset"},
};

const CommandAction& actionFor(MenuCommand command) {
    for (const auto& action : kActions) {
        if (action.command == command) return action;
    }
    return kActions[0];
}

std::string accelerator(const std::string& key) {
    if (key == ",") return "<Primary>comma";
    if (key == "+") return "<Primary>plus";
    if (key == "=") return "<Primary>equal";
    if (key == "-") return "<Primary>minus";
    return "<Primary>" + key;
}

}  // namespace

GtkShell::GtkShell(GtkApplication* app) : app_(app) {
    for (const auto& entry : kActions) {
        GSimpleAction* action = g_simple_action_new(entry.name, nullptr);
        g_object_set_data(G_OBJECT(action), "talven-command",
                          GINT_TO_POINTER(static_cast<int>(entry.command)));
        g_signal_connect(action, "activate", G_CALLBACK(onAction), this);
        g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(action));
        g_object_unref(action);
    }
    // Asked to end from outside, the program ends as Quit ends it: the window size is kept.
    for (int signal : {SIGTERM, SIGINT}) {
        signalSources_.push_back(g_unix_signal_add(
            signal,
            [](gpointer self) -> gboolean {
                static_cast<GtkShell*>(self)->terminate();
                return G_SOURCE_CONTINUE;
            },
            this));
    }
    // The session may end the program without a word once this returns.
    g_signal_connect(app_, "query-end", G_CALLBACK(onSessionEnding), this);
}

GtkShell::~GtkShell() {
    g_signal_handlers_disconnect_by_data(app_, this);
    for (guint source : signalSources_) g_source_remove(source);
    if (about_ != nullptr) {
        GtkWidget* about = about_;
        g_object_remove_weak_pointer(G_OBJECT(about), reinterpret_cast<gpointer*>(&about_));
        destroyWindow(GTK_WINDOW(about));
    }
    for (const auto& entry : kActions) g_action_map_remove_action(G_ACTION_MAP(app_), entry.name);
    if (held_) g_application_release(G_APPLICATION(app_));
    if (menuModel_ != nullptr) g_object_unref(menuModel_);
}

std::unique_ptr<Window> GtkShell::createWindow(const WindowSpec& spec, WindowDelegate& delegate,
                                               SchemeResponder scheme) {
    auto window = std::make_unique<GtkMainWindow>(app_, spec, delegate, std::move(scheme),
                                                  G_MENU_MODEL(menuModel_));
    window->setMenuBar(G_MENU_MODEL(menuModel_), rightToLeft_, menuBarName_);
    window->whenGone([this, made = window.get()] {
        if (window_ == made) window_ = nullptr;
        // glibc keeps what the web view freed for this process's next allocations; a program
        // that lets its view go to wait lightly hands it back. The last of it is freed once GTK
        // has finished taking the window down.
        g_timeout_add_seconds(
            1,
            [](gpointer) -> gboolean {
                malloc_trim(0);
                return G_SOURCE_REMOVE;
            },
            nullptr);
    });
    window_ = window.get();
    heldRest_.reset();
    return window;
}

void GtkShell::setActivationPolicy(ActivationPolicy policy) {
    // Running on in the background means holding the application while no window shows.
    if (policy == ActivationPolicy::Accessory && !held_) {
        g_application_hold(G_APPLICATION(app_));
        held_ = true;
    } else if (policy == ActivationPolicy::Regular && held_) {
        g_application_release(G_APPLICATION(app_));
        held_ = false;
    }
}

void GtkShell::activate() {
    if (window_ != nullptr && window_->isVisible()) window_->present();
}

void GtkShell::terminate() {
    if (window_ != nullptr) window_->rememberFrame();
    g_application_quit(G_APPLICATION(app_));
}

void GtkShell::setMenuBar(const MenuBar& bar, MenuDelegate& delegate) {
    menuDelegate_ = &delegate;
    GMenu* model = g_menu_new();
    for (const auto& menu : bar.menus) {
        GMenu* submenu = g_menu_new();
        GMenu* section = g_menu_new();
        for (const auto& item : menu.items) {
            if (item.separator) {
                g_menu_append_section(submenu, nullptr, G_MENU_MODEL(section));
                g_object_unref(section);
                section = g_menu_new();
                continue;
            }
            std::string action = std::string("app.") + actionFor(item.command).name;
            g_menu_append(section, item.title.c_str(), action.c_str());
            if (!item.key.empty()) {
                std::string accel = accelerator(item.key);
                std::string other = item.otherKey.empty() ? "" : accelerator(item.otherKey);
                const char* accels[] = {accel.c_str(), other.empty() ? nullptr : other.c_str(),
                                        nullptr};
                gtk_application_set_accels_for_action(app_, action.c_str(), accels);
            }
        }
        g_menu_append_section(submenu, nullptr, G_MENU_MODEL(section));
        g_object_unref(section);
        // The application menu has no title on the Mac; here it carries the product's name so
        // that it can be found at all.
        std::string title = menu.title.empty() ? "TALVEN™ Suite" : menu.title;
        g_menu_append_submenu(model, title.c_str(), G_MENU_MODEL(submenu));
        g_object_unref(submenu);
    }
    if (menuModel_ != nullptr) g_object_unref(menuModel_);
    menuModel_ = model;
    rightToLeft_ = bar.rightToLeft;
    menuBarName_ = bar.name;
    gtk_application_set_menubar(app_, G_MENU_MODEL(menuModel_));
    if (window_ != nullptr)
        window_->setMenuBar(G_MENU_MODEL(menuModel_), rightToLeft_, menuBarName_);
}

void GtkShell::showAbout(const AboutInfo& info) {
    // One about window: asking again brings the open one forward, in the language of now.
    if (about_ == nullptr) {
        about_ = gtk_about_dialog_new();
        g_object_add_weak_pointer(G_OBJECT(about_), reinterpret_cast<gpointer*>(&about_));
        destroyOnClose(GTK_WINDOW(about_));
    }
    GtkWidget* dialog = about_;
    GtkAboutDialog* about = GTK_ABOUT_DIALOG(dialog);
    gtk_about_dialog_set_program_name(about, info.name.c_str());
    gtk_about_dialog_set_version(about, info.version.c_str());
    gtk_about_dialog_set_comments(about, info.credits.c_str());
    gtk_about_dialog_set_copyright(about, info.rights.c_str());
    // The installed icon's name, as the desktop entry's; see useIconsBesideProgram for the build
    // tree.
    gtk_about_dialog_set_logo_icon_name(about, SUITE_APP_ID);
    if (window_ != nullptr) gtk_window_set_transient_for(GTK_WINDOW(dialog), window_->gtkWindow());
    gtk_window_present(GTK_WINDOW(dialog));
}

void GtkShell::openUri(const std::string& uri) {
    // Without a browser or a desktop to ask, nothing opens; the page is not told either way.
    g_app_info_launch_default_for_uri_async(uri.c_str(), nullptr, nullptr, nullptr, nullptr);
}

void GtkShell::logToSystem(const std::string& line) {
    g_log_structured("TALVEN Suite", G_LOG_LEVEL_MESSAGE, "MESSAGE", "%s", line.c_str());
}

void GtkShell::restIn(std::filesystem::path waiter, std::filesystem::path program,
                      std::function<bool()> mustStay) {
    waiter_ = std::move(waiter);
    program_ = std::move(program);
    mustStay_ = std::move(mustStay);
}

void GtkShell::restAgain() {
    if (heldRest_ && window_ == nullptr) restUntil(*std::exchange(heldRest_, std::nullopt));
}

void GtkShell::restUntil(std::optional<double> wakeAtMs) {
    // A copy that does not hold the program's name on the session bus could not be reached by
    // the user's next start in the waiting program either.
    GApplication* app = G_APPLICATION(app_);
    if (waiter_.empty() || !g_application_get_is_registered(app) ||
        g_application_get_is_remote(app) ||
        (g_application_get_flags(app) & G_APPLICATION_NON_UNIQUE) != 0) {
        return;
    }
    if (mustStay_ && mustStay_()) {
        heldRest_ = wakeAtMs;
        return;
    }
    const std::string failure = replaceProcess(waitingArguments(waiter_, {program_, wakeAtMs}));
    logToSystem("the waiting program " + waiter_.string() + " did not start (" + failure +
                "); the program waits itself");
}

void GtkShell::onAction(GSimpleAction* action, GVariant*, gpointer data) {
    auto command = static_cast<MenuCommand>(
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(action), "talven-command")));
    static_cast<GtkShell*>(data)->runCommand(command);
}

void GtkShell::onSessionEnding(GtkApplication*, gpointer data) {
    auto* self = static_cast<GtkShell*>(data);
    if (self->window_ != nullptr) self->window_->rememberFrame();
}

void GtkShell::runCommand(MenuCommand command) {
    switch (command) {
        case MenuCommand::About:
        case MenuCommand::CheckNow:
        case MenuCommand::OpenSettings:
        case MenuCommand::ZoomIn:
        case MenuCommand::ZoomOut:
        case MenuCommand::ZoomReset:
            if (menuDelegate_ != nullptr) menuDelegate_->menuCommand(command);
            return;
        case MenuCommand::Quit:
            terminate();
            return;
        default:
            break;
    }
    if (window_ == nullptr) return;
    if (const char* editing = actionFor(command).editing) {
        window_->gtkWebView().runEditingCommand(editing);
        return;
    }
    switch (command) {
        // Hiding a program has no desktop-wide meaning here; minimising is what users expect.
        case MenuCommand::Hide:
        case MenuCommand::Minimize:
            window_->minimize();
            break;
        case MenuCommand::Close:
            window_->close();
            break;
        default:
            break;
    }
}

void useIconsBesideProgram(const std::filesystem::path& executable) {
    if (gdk_display_get_default() == nullptr || executable.empty()) return;
    std::error_code error;
    const auto icons = executable.parent_path() / "icons";
    if (std::filesystem::is_directory(icons, error)) addIconSearchPath(icons);
}

}  // namespace suite::gtk
