#pragma once
// Every text the native side shows or prints itself, in the interface's two languages: the menus,
// the about panel, the window's notices, the administrator prompt, the file chooser's button and
// the command line's help. The page keeps its own (web/js/i18n.js).
#include <string_view>

namespace suite {

struct InterfaceText {
    std::string_view about, checkForUpdates, settings, hide, quit;
    std::string_view editMenu, undo, cut, copy, paste, selectAll;
    std::string_view viewMenu, zoomIn, zoomOut, actualSize;
    std::string_view windowMenu, minimize, close;
    std::string_view credits;
    std::string_view missingFiles;  // the window's notice when the page's files cannot be found
    std::string_view stoppedOften, reload;  // when the page stopped working too often
    std::string_view installPrompt;         // the administrator prompt's reason, where it is ours
    std::string_view addFiles;              // the file chooser's accept button
    std::string_view addFilesTitle;         // the file chooser's title
    std::string_view picturesAndVideos;     // the file chooser's filter
    std::string_view menuBar;               // the menu bar's name for screen readers
    std::string_view usage;                 // --help
    // An unknown option on the command line: the first part, the option, then the second.
    std::string_view unknownOptionBefore, unknownOptionAfter;
    // A known switch out of place, or one that wants more: the first part, the switch, the second.
    std::string_view misusedOptionBefore, misusedOptionAfter;
};

const InterfaceText& interfaceText(bool arabic);

}  // namespace suite
