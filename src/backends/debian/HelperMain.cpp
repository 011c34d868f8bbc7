// install-helper: installs one batch of Debian packages as root; run through pkexec.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "backends/debian/InstallHelper.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
    if (::geteuid() != 0) {
        std::fprintf(stderr, "install-helper: must run as root, through pkexec\n");
        return 77;
    }
    ::umask(022);
    if (::chdir("/") != 0) return 1;
    // The program that reads our records may be gone; the installs still finish.
    std::signal(SIGPIPE, SIG_IGN);
    suite::debian::HelperTools tools;
    tools.adoptsOrphans = suite::adoptOrphans();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return suite::debian::runInstallHelper(arguments, stdout, stderr, tools);
}
