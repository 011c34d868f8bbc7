#include "flows/VendorService.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace suite::flows {

namespace fs = std::filesystem;

namespace {

// One line from `fd`, waiting at most until `deadline`.
std::string readLine(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string line;
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        if (::read(fd, &c, 1) != 1) break;
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

}  // namespace

VendorService::VendorService(const fs::path& folder, Options options) : folder_(folder) {
    const std::string program =
        std::string(SUITE_SOURCE_DIR) + "/tools/vendor-server/vendor-server";
    std::vector<std::string> args = {program,
                                     "--dir",
                                     folder.string(),
                                     "--large-mib",
                                     std::to_string(options.largeMiB),
                                     "--stall-seconds",
                                     std::to_string(options.stallSeconds),
                                     "--expires-in",
                                     std::to_string(options.catalogExpiresIn),
                                     "--exit-with-stdin"};
    if (!options.suiteDeb.empty()) {
        args.push_back("--suite-deb");
        args.push_back(options.suiteDeb.string());
    }
    if (!options.signingKey.empty()) {
        args.push_back("--signing-key");
        args.push_back(options.signingKey.string());
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Its standard input stays open for as long as this process lives, so the service also goes
    // when a test crashes instead of holding the test's output open.
    int out[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    stdinWriter_ = in[1];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    int failed = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(in[0]);
    if (failed != 0) {
        ::close(out[0]);
        ::close(stdinWriter_);
        stdinWriter_ = -1;
        pid_ = -1;
        throw std::runtime_error("cannot start " + program);
    }
    auto line = readLine(out[0], std::chrono::steady_clock::now() + std::chrono::seconds(60));
    ::close(out[0]);
    Json ready = Json::parse(line, nullptr, false);
    if (!ready.is_object() || !ready.contains("port")) {
        stop();
        throw std::runtime_error("the vendor service did not start: " + line);
    }
    port_ = ready["port"].get<int>();
    ca_ = ready["ca"].get<std::string>();
    received_ = ready["received"].get<std::string>();
    debs_ = ready.value("debs", Json::object());
    catalog_ = Json::parse(std::ifstream(ready["catalog"].get<std::string>()), nullptr, false);
}

VendorService::~VendorService() {
    stop();
}

void VendorService::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) ::usleep(100'000);
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    if (stdinWriter_ >= 0) ::close(stdinWriter_);
    stdinWriter_ = -1;
}

std::vector<Json> VendorService::requests() const {
    std::vector<Json> lines;
    std::ifstream in(folder_ / "requests.log");
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
}

Json VendorService::product(const std::string& id) const {
    for (const auto& item : catalog_["products"]) {
        if (item["id"] != id) continue;
        Json entry = item;
        entry.erase("packages");
        return entry;
    }
    return nullptr;
}

Json VendorService::product(const std::string& id, const std::string& kind) const {
    for (const auto& item : catalog_["products"]) {
        if (item["id"] != id) continue;
        const Json variants = item.value("packages", Json::object());
        if (!variants.contains(kind)) return nullptr;
        const Json& variant = variants[kind];
        const Json detect = variant.value("detect", Json::object());
        return Json{{"id", id},
                    {"group", item["group"]},
                    {"detect",
                     {{"apps", detect.value("apps", Json::array())},
                      {"receipts", detect.value("receipts", Json::array())}}},
                    {"version", variant["version"]},
                    {"url", variant["url"]},
                    {"file", variant["file"]},
                    {"sha256", variant["sha256"]},
                    {"size", variant["size"]},
                    {"self", item.value("self", false)}};
    }
    return nullptr;
}

fs::path VendorService::packageFile(const std::string& id, const std::string& kind) const {
    const Json item = product(id, kind);
    if (item.is_null()) throw std::runtime_error("the catalog has no " + kind + " of " + id);
    // A deb variant's receipt is its Debian package name; the program's own .deb is sent from
    // wherever the test keeps it, so the service's list is the one to ask.
    const Json& receipts = item["detect"]["receipts"];
    if (kind == "deb" && !receipts.empty()) {
        const auto name = receipts[0].get<std::string>();
        if (debs_.contains(name)) return debs_[name].get<std::string>();
    }
    return folder_ / "packages" / item["file"].get<std::string>();
}

}  // namespace suite::flows
