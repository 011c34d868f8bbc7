// Bundle names and package paths come from the catalog and the download folder, and the script
// they go into runs as root. Built with them, the script must equal the script built with plain
// placeholders once each placeholder is swapped for its string in quoted form: the strings enter
// only inside single quotes, so none can change what the script does. And the shell reads it.
#include "backends/macos/InstallScript.h"
#include "fuzz/FuzzInput.h"
#include "platform/Process.h"

namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The inside of `s`'s single-quoted form.
std::string quotedInside(const std::string& s) {
    const std::string quoted = suite::shellQuote(s);
    return quoted.substr(1, quoted.size() - 2);
}

std::string script(const std::string& bare, const std::string& file) {
    suite::InstallPaths paths;
    paths.appDirs = {"/Applications", "/Users/u/Applications"};
    paths.home = "/Users/u";
    const suite::InstallItem item{
        .group = "app", .sha256 = std::string(64, 'a'), .detect = {{"apps", {bare + ".app"}}}};
    return suite::buildInstallScript({{item, file}}, paths, "2026-12-05 07.30.12");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    auto strings = suite::fuzz::pieces(data, size, 2);
    std::string bare = strings[0], file = strings[1];
    // A name with "/" is no bundle and builds no command at all; NUL cannot reach a shell.
    std::erase(bare, '/');
    std::erase(file, '\0');
    if (bare.empty() || bare.find("PLACE") != std::string::npos ||
        file.find("PLACE") != std::string::npos) {
        return 0;
    }
    const std::string built = script(bare, file);
    std::string expected = script("PLACEBUNDLE", "PLACEFILE");
    expected =
        replaceAll(expected, "'PLACEBUNDLE'", suite::shellQuote(suite::exactProcessPattern(bare)));
    expected = replaceAll(expected, "PLACEBUNDLE", quotedInside(bare));
    expected = replaceAll(expected, "PLACEFILE", quotedInside(file));
    suite::fuzz::require(built == expected, "untrusted strings enter the script only quoted");

    auto parsed = suite::runProcess("/bin/sh", {"-n", "-c", built});
    suite::fuzz::require(parsed && parsed->exitStatus == 0, "the shell reads the script");
    return 0;
}
