#pragma once
// What the command line prints, in the interface's two languages. "{…}" marks where a value
// goes (fillText).
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace suite::console {

struct ConsoleText {
    std::string_view id, name, installed, available, state;  // the list's column heads
    std::string_view missing, update, current, held;         // states
    std::string_view none;                                   // no installed version
    std::string_view catalogFailed;                          // {reason}
    std::string_view offline, refused, unavailable;
    std::string_view updatesAvailable;  // {count}, then a line per update
    std::string_view upToDate;
    std::string_view unknownProduct;  // {id}
    std::string_view barred;          // {id}
    std::string_view nothingToDo;
    std::string_view confirm;  // {count} {size}
    std::string_view yes;      // the answer that says yes (besides "y")
    std::string_view needYes;
    std::string_view declined;
    std::string_view download, verify, password, install;  // phases
    std::string_view installedAs;                          // {name} {version}
    std::string_view failed;                               // {name} {reason}
    std::string_view open;                                 // {name}
    std::string_view megabytes;                            // {size}
};

const ConsoleText& consoleText(bool arabic);

// `text` with each "{key}" of `values` replaced by its value.
std::string fillText(std::string_view text,
                     std::initializer_list<std::pair<std::string_view, std::string>> values);

}  // namespace suite::console
