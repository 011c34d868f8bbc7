#include "backends/macos/InstallScript.h"

#include <array>

#include "common/Ascii.h"
#include "common/Json.h"
#include "platform/InstallerRecords.h"

namespace suite {

namespace {

constexpr std::string_view kBundleExtension = ".app";

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

// A tool path goes into the script bare when the shell could not read it any other way, so the
// script for the real tools reads exactly as the plain commands; anything else is quoted.
std::string toolWord(const std::string& path) {
    static constexpr std::string_view kPlain =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-,:@%";
    if (!path.empty() && path.front() != '-' &&
        path.find_first_not_of(kPlain) == std::string::npos) {
        return path;
    }
    return shellQuote(path);
}

// Names come from the catalog, fetched over the network, and the commands built from them run as
// root: only a single path component that names a bundle is accepted.
bool isBundleName(const std::string& name) {
    return name.size() > kBundleExtension.size() && name.ends_with(kBundleExtension) &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

}  // namespace

std::string shellQuote(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '\'';
    for (char c : s) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

std::string installTimeStamp(std::time_t now) {
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return "";
    std::array<char, 64> buffer{};
    std::size_t length = std::strftime(buffer.data(), buffer.size(), "%Y-%m-%d %H.%M.%S", &local);
    return std::string(buffer.data(), length);
}

std::string markerPath(const InstallPaths& paths) {
    return paths.tempFolder + "/.talven-suite-installing";
}

std::vector<std::string> moveAsideCommands(const InstallItem& item, const InstallPaths& paths,
                                           const std::string& stamp) {
    std::vector<std::string> commands;
    if (item.group != "app" || item.self) return commands;
    // Without a home folder the Trash would be "/.Trash", a folder root would create at the top
    // of the disk; nothing is moved rather than that.
    if (paths.home.empty()) return commands;

    const std::string trash = paths.home + "/.Trash";
    for (const auto& name : stringListMember(item.detect, "apps")) {
        if (!isBundleName(name)) continue;
        const std::string bare = name.substr(0, name.size() - kBundleExtension.size());
        for (std::size_t d = 0; d < paths.appDirs.size(); ++d) {
            // An empty folder would put the target at the top of the disk.
            if (paths.appDirs[d].empty()) continue;
            const std::string suffix =
                d == 0 ? std::string() : std::string(" ").append(std::to_string(d + 1));
            const std::string target = paths.appDirs[d] + "/" + name;
            const std::string old = trash + "/" + bare + " (old " + stamp + suffix + ").app";
            // "--": a bundle name may start with a dash, which pkill would read as an option.
            commands.push_back(
                "if [ -d " + shellQuote(target) + " ]; then " + toolWord(paths.pkill) + " -x -- " +
                shellQuote(exactProcessPattern(bare)) + " 2>/dev/null; " + toolWord(paths.sleep) +
                " 1; " + toolWord(paths.mkdir) + " -p " + shellQuote(trash) + "; " +
                toolWord(paths.mv) + " " + shellQuote(target) + " " + shellQuote(old) + "; fi");
        }
    }
    return commands;
}

std::string exactProcessPattern(std::string_view name) {
    std::string pattern;
    pattern.reserve(name.size() * 2);
    for (char c : name) {
        if (std::string_view("\\.[]()*+?{}|^$").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

std::string packageCommand(std::size_t index, const VerifiedPackage& package,
                           const InstallPaths& paths, const std::string& stamp) {
    const std::string i = std::to_string(index);
    const std::string& digest = package.item.sha256;
    // Without a digest to hold the copy against, root installs nothing, however the package
    // reached the script.
    if (!isSha256Hex(digest)) return "echo CHECK:" + i;
    const std::string copy = "\"$work/" + i + ".pkg\"";
    std::vector<std::string> install = moveAsideCommands(package.item, paths, stamp);
    install.push_back("if out=$(" + toolWord(paths.installer) + " -pkg " + copy +
                      " -target / 2>&1); then r=OK; else r=FAIL; fi");
    install.push_back(
        "[ -z \"$out\" ] || printf '%s\\n' \"$out\" | while IFS= read -r line; do "
        "printf 'OUT:" +
        i + ":%s\\n' \"$line\"; done");
    install.push_back("echo \"$r:" + i + "\"");
    return "if [ -z \"$work\" ] || ! " + toolWord(paths.cp) + " -- " +
           shellQuote(package.file.string()) + " " + copy + "; then echo FAIL:" + i +
           "; elif d=$(" + toolWord(paths.shasum) + " -a 256 < " + copy +
           "); [ \"${d%% *}\" != " + shellQuote(digest) + " ]; then echo CHECK:" + i + "; else " +
           join(install, "; ") + "; fi";
}

std::string buildInstallScript(const std::vector<VerifiedPackage>& packages,
                               const InstallPaths& paths, const std::string& stamp) {
    const std::string marker = shellQuote(markerPath(paths));
    const std::string removeMarker = toolWord(paths.rm) + " -f " + marker;

    std::vector<std::string> commands;
    // The temp folder is writable by every user: a link planted at the marker's name must not
    // make root create or truncate the file it points to. Whatever is there is removed, then the
    // marker is created only if the name is still free (noclobber opens with O_EXCL).
    commands.push_back(removeMarker);
    commands.push_back("(set -C; : > " + marker + ") 2>/dev/null");
    // A new folder only root can enter, for the copies that are checked and installed.
    commands.push_back("work=$(" + toolWord(paths.mktemp) + " -d " +
                       shellQuote(paths.tempFolder + "/talven-suite-run.XXXXXX") + ") || work=");
    for (std::size_t i = 0; i < packages.size(); ++i) {
        commands.push_back(packageCommand(i, packages[i], paths, stamp));
    }
    // Plain "; " joints: a failing installer never stops the packages after it, and the copies
    // and the marker go away whatever happened before.
    commands.push_back("[ -z \"$work\" ] || " + toolWord(paths.rm) + " -rf \"$work\"");
    commands.push_back(removeMarker);
    return join(commands, "; ");
}

std::string appleScriptEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string appleScriptSource(const std::string& script, const std::string& prompt) {
    return "do shell script \"" + appleScriptEscape(script) + "\" with prompt \"" +
           appleScriptEscape(prompt) + "\" with administrator privileges";
}

}  // namespace suite
