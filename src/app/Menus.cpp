#include "app/Menus.h"

#include "app/InterfaceText.h"

namespace suite {

namespace {

MenuItem item(std::string_view label, MenuCommand command, const char* key,
              const char* otherKey = "") {
    return MenuItem{std::string(label), command, key, false, otherKey};
}

MenuItem separator() {
    return MenuItem{"", MenuCommand::About, "", true, ""};
}

}  // namespace

MenuBar buildMenuBar(bool ar) {
    const InterfaceText& text = interfaceText(ar);
    MenuBar bar;
    bar.rightToLeft = ar;
    bar.name = text.menuBar;
    bar.menus.push_back(Menu{"",
                             {
                                 item(text.about, MenuCommand::About, ""),
                                 separator(),
                                 item(text.checkForUpdates, MenuCommand::CheckNow, "r"),
                                 item(text.settings, MenuCommand::OpenSettings, ","),
                                 separator(),
                                 item(text.hide, MenuCommand::Hide, "h"),
                                 item(text.quit, MenuCommand::Quit, "q"),
                             },
                             false});
    bar.menus.push_back(Menu{std::string(text.editMenu),
                             {
                                 item(text.undo, MenuCommand::Undo, "z"),
                                 separator(),
                                 item(text.cut, MenuCommand::Cut, "x"),
                                 item(text.copy, MenuCommand::Copy, "c"),
                                 item(text.paste, MenuCommand::Paste, "v"),
                                 item(text.selectAll, MenuCommand::SelectAll, "a"),
                             },
                             false});
    bar.menus.push_back(Menu{std::string(text.viewMenu),
                             {
                                 // "=" is the same key without Shift on most layouts.
                                 item(text.zoomIn, MenuCommand::ZoomIn, "+", "="),
                                 item(text.zoomOut, MenuCommand::ZoomOut, "-"),
                                 item(text.actualSize, MenuCommand::ZoomReset, "0"),
                             },
                             false});
    bar.menus.push_back(Menu{std::string(text.windowMenu),
                             {
                                 item(text.minimize, MenuCommand::Minimize, "m"),
                                 item(text.close, MenuCommand::Close, "w"),
                             },
                             true});
    return bar;
}

AboutInfo aboutInfo(bool ar, const std::string& version, const std::string& vendorHost) {
    AboutInfo info;
    info.name = kProductName;
    info.version = version;
    info.credits = std::string(interfaceText(ar).credits) + "\n" + vendorHost;
    info.rights = "© 2026 Brenlow";
    return info;
}

std::string missingFilesNotice(bool ar) {
    return std::string(interfaceText(ar).missingFiles);
}

ReloadNotice reloadNotice(bool ar) {
    const InterfaceText& text = interfaceText(ar);
    return {std::string(text.stoppedOften), std::string(text.reload), ar};
}

}  // namespace suite
