#include "platform/debian/InstallHelper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/Digest.h"
#include "platform/InstallerRecords.h"
#include "platform/Process.h"
#include "platform/debian/DpkgDatabase.h"

namespace suite::debian {

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// A folder made for this run alone (mkdtemp: a new name, mode 0700, owned by root), removed with
// what it holds when the run ends.
class PrivateFolder {
  public:
    explicit PrivateFolder(const std::string& parent) {
        std::string pattern = parent + "/talven-suite-install.XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path_ = std::move(pattern);
    }
    ~PrivateFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies `source` to `target` (a new file) and answers the SHA-256 of the bytes copied; nothing,
// with the reason in `why`, when the source is not a regular file or cannot be read and copied
// whole. The last part of the source's path must not be a link: root follows nothing the user
// planted there.
std::optional<std::string> copyAndDigest(const std::string& source, const std::string& target,
                                         std::string& why) {
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
        return std::nullopt;
    }
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.get() < 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    Sha256 hash;
    std::vector<unsigned char> chunk(kCopyChunk);
    for (;;) {
        ssize_t got = ::read(in.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            why = std::strerror(errno);
            return std::nullopt;
        }
        if (got == 0) break;
        const auto size = static_cast<std::size_t>(got);
        if (!writeAll(out.get(), chunk.data(), size)) {
            why = std::strerror(errno);
            return std::nullopt;
        }
        hash.add(chunk.data(), size);
    }
    auto digest = hash.hex();
    if (!digest) why = "the digest could not be computed";
    return digest;
}

void record(std::FILE* out, const std::string& line) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

// What one package's installation printed, relayed line by line.
void relayOutput(std::FILE* out, std::size_t index, std::string_view text) {
    while (!text.empty()) {
        const std::size_t cut = text.find('\n');
        std::string line(text.substr(0, cut));
        std::erase(line, '\r');
        record(out, outputRecord(index, line));
        text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
    }
}

// A clean, fixed setting for the package tools whatever called us: nobody is there to answer a
// question, and the log reads the same on every machine.
ProcessOptions toolOptions(double timeoutSeconds) {
    ProcessOptions options;
    options.mergeStandardError = true;
    options.outputLimit = 4u << 20;
    options.timeoutSeconds = timeoutSeconds;
    options.environment = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"},
                           {"DEBIAN_FRONTEND", "noninteractive"},
                           {"APT_LISTCHANGES_FRONTEND", "none"},
                           {"LC_ALL", "C.UTF-8"}};
    return options;
}

// The package name inside a package file; empty when it cannot be read.
std::string packageNameOf(const std::string& file, const HelperTools& tools) {
    auto run = runProcess(tools.dpkgDeb, {"--field", file, "Package"}, toolOptions(60));
    if (!run || run->exitStatus != 0) return "";
    std::string name = run->standardOutput.substr(0, run->standardOutput.find('\n'));
    return isPackageName(name) ? name : "";
}

// dpkg's status of `name` ("install ok installed", "install ok half-configured", ...); empty
// when dpkg knows nothing of it.
std::string statusOf(const std::string& name, const HelperTools& tools) {
    auto run = runProcess(tools.dpkgQuery, {"-W", "-f", "${Status}", name}, toolOptions(60));
    return run && run->exitStatus == 0 ? run->standardOutput : "";
}

bool isInstalledStatus(const std::string& status) {
    return status.ends_with(" ok installed");
}

bool isNotInstalledStatus(const std::string& status) {
    return status.empty() || status.ends_with(" not-installed") ||
           status.ends_with(" config-files");
}

InstallerResult installCopy(const std::string& copy, std::size_t index, std::FILE* out,
                            const HelperTools& tools) {
    const std::string name = packageNameOf(copy, tools);
    const bool wasInstalled = !name.empty() && isInstalledStatus(statusOf(name, tools));
    const ProcessOptions options = toolOptions(tools.installTimeoutSeconds);
    auto run = runProcess(
        tools.aptGet,
        {"install", "--yes", "--allow-downgrades", "-o", "Dpkg::Options::=--force-confdef", "-o",
         "Dpkg::Options::=--force-confold", "-o", "DPkg::Lock::Timeout=120", copy},
        options);
    if (!run) {
        relayOutput(out, index, "cannot start " + tools.aptGet);
        return InstallerResult::Failed;
    }
    relayOutput(out, index, run->standardOutput);
    if (run->timedOut) relayOutput(out, index, "stopped: no end after the time allowed");
    if (run->exitStatus == 0 && !run->timedOut) return InstallerResult::Installed;
    // apt-get also fails when another package is left half set up; dpkg's own word on this one
    // is what counts.
    if (name.empty()) return InstallerResult::Failed;
    const std::string status = statusOf(name, tools);
    if (isInstalledStatus(status)) return InstallerResult::Installed;
    if (!wasInstalled && !isNotInstalledStatus(status)) {
        relayOutput(out, index, "left " + status + "; removing it again");
        auto removal = runProcess(tools.dpkg, {"--remove", name}, options);
        if (removal) relayOutput(out, index, removal->standardOutput);
    }
    return InstallerResult::Failed;
}

}  // namespace

bool acceptsHelperArguments(const std::vector<std::string>& arguments) {
    const std::size_t count = arguments.size() / 2;
    bool accepted = !arguments.empty() && arguments.size() % 2 == 0 && count <= kMaxHelperPackages;
    for (std::size_t i = 0; accepted && i < count; ++i) {
        accepted = arguments[2 * i].starts_with('/') && isSha256Hex(arguments[2 * i + 1]);
    }
    return accepted;
}

int runInstallHelper(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err,
                     const HelperTools& tools) {
    const std::size_t count = arguments.size() / 2;
    if (!acceptsHelperArguments(arguments)) {
        std::fprintf(err,
                     "usage: install-helper FILE SHA256 [FILE SHA256 ...] (absolute paths, "
                     "lower-case digests, at most %zu packages)\n",
                     kMaxHelperPackages);
        return 64;
    }
    record(out, std::string(kHelperStarted));

    PrivateFolder folder(tools.workParent);
    if (folder.path().empty()) {
        const std::string why = std::strerror(errno);
        for (std::size_t i = 0; i < count; ++i) {
            relayOutput(out, i, "cannot make a private folder in " + tools.workParent + ": " + why);
            record(out, resultRecord(i, InstallerResult::Failed));
        }
        return 1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& expected = arguments[2 * i + 1];
        // apt-get takes a path as a package file only when it ends in ".deb".
        const std::string copy = folder.path() + "/" + std::to_string(i) + ".deb";
        std::string why;
        auto digest = copyAndDigest(arguments[2 * i], copy, why);
        InstallerResult result = InstallerResult::Failed;
        if (!digest) {
            relayOutput(out, i, "cannot read " + arguments[2 * i] + ": " + why);
        } else if (*digest != expected) {
            relayOutput(out, i,
                        "refused: its SHA-256 is " + *digest + ", the catalog's " + expected);
            result = InstallerResult::Refused;
        } else {
            result = installCopy(copy, i, out, tools);
        }
        std::error_code ignored;
        std::filesystem::remove(copy, ignored);
        record(out, resultRecord(i, result));
    }
    return 0;
}

}  // namespace suite::debian
