// install-helper: installs one batch of packages as root; run through pkexec. The package system
// it installs through is the one the system's own os-release names, never one its caller picks.
// The same program installed as restore-helper restores one package: pkexec asks its own polkit
// action for it, by its path, which always wants an administrator. Which of the two it is comes
// from its own file as the kernel names it, never from the name its caller gives it; run from
// any other path, either is pkexec's default action, which wants an administrator too.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "backends/debian/DebianHelper.h"
#include "backends/rpm/RpmHelper.h"
#include "install/SystemPackages.h"
#include "platform/Process.h"

namespace {

std::unique_ptr<suite::privileged::HelperBackend> backendForThisSystem(
    const suite::privileged::HelperSettings& settings) {
    const suite::PackageFamily family = suite::thisSystemsPackageFamily();
    if (family == suite::PackageFamily::RpmDnf || family == suite::PackageFamily::RpmZypper) {
        return std::make_unique<suite::rpm::RpmHelper>(suite::rpm::RpmTools{.family = family},
                                                       settings);
    }
    return std::make_unique<suite::debian::DebianHelper>(suite::debian::DebianTools{}, settings);
}

}  // namespace

int main(int argc, char** argv) {
    if (::geteuid() != 0) {
        std::fprintf(stderr, "install-helper: must run as root, through pkexec\n");
        return 77;
    }
    ::umask(022);
    if (::chdir("/") != 0) return 1;
    // The program that reads our records may be gone; the installs still finish.
    std::signal(SIGPIPE, SIG_IGN);
    // Run from a terminal (the command line's updates), the helper is in its foreground group: a
    // Ctrl-C or a closed terminal must not cut a transaction short, or end the helper that bounds
    // its time while the package tools go on without it. The tools inherit this.
    for (int terminalSignal : {SIGINT, SIGQUIT, SIGHUP}) std::signal(terminalSignal, SIG_IGN);
    suite::privileged::HelperSettings settings;
    settings.adoptsOrphans = suite::adoptOrphans();
    std::error_code error;
    settings.restore = std::filesystem::read_symlink("/proc/self/exe", error)
                           .filename()
                           .string()
                           .ends_with("restore-helper");
    auto backend = backendForThisSystem(settings);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return suite::privileged::runInstallHelper(arguments, stdout, stderr, *backend, settings);
}
