#pragma once
// A locale whose decimal separator is a comma, for tests of text that must not follow it. Test
// machines rarely have one installed, so it is built with localedef into a folder of its own
// (found through LOCPATH) the first time it is needed.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace suite::fakes {

// Switches LC_NUMERIC to de_DE.UTF-8; returns whether its decimal point is now a comma. The
// caller puts the previous locale back.
inline bool useDecimalCommaLocale() {
    // The folder goes when the test process ends, by when nothing reads the locale any more.
    static struct Folder {
        std::string path;
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder{(std::filesystem::temp_directory_path() / "talven-locale-XXXXXX").string()};
    static const bool built = [] {
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) return true;
        if (mkdtemp(folder.path.data()) == nullptr) return false;
        const std::string command =
            "localedef -c -i de_DE -f UTF-8 '" + folder.path + "/de_DE.UTF-8' >/dev/null 2>&1";
        [[maybe_unused]] const int status = std::system(command.c_str());
        setenv("LOCPATH", folder.path.c_str(), 1);
        return std::filesystem::exists(folder.path + "/de_DE.UTF-8/LC_NUMERIC");
    }();
    if (!built || std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) return false;
    return std::string(std::localeconv()->decimal_point) == ",";
}

}  // namespace suite::fakes
