#include "flows/VendorService.h"

#include <fstream>
#include <stdexcept>

namespace suite::flows {

namespace fs = std::filesystem;

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
                                     "--batch",
                                     std::to_string(options.batch),
                                     "--exit-with-stdin"};
    if (!options.suiteDeb.empty()) {
        args.push_back("--suite-deb");
        args.push_back(options.suiteDeb.string());
    }
    if (!options.suiteRpm.empty()) {
        args.push_back("--suite-rpm");
        args.push_back(options.suiteRpm.string());
    }
    for (const auto& deb : options.debs) args.insert(args.end(), {"--deb", deb.string()});
    for (const auto& rpm : options.rpms) args.insert(args.end(), {"--rpm", rpm.string()});
    if (!options.published.empty())
        args.insert(args.end(), {"--published", options.published.string()});
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    // Its standard input stays open for as long as this object lives, so the service also goes
    // when a test crashes instead of holding the test's output open.
    GError* error = nullptr;
    process_ = g_subprocess_newv(
        argv.data(),
        GSubprocessFlags(G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_PIPE), &error);
    if (process_ == nullptr) {
        const std::string why = error->message;
        g_error_free(error);
        throw std::runtime_error("cannot start " + program + ": " + why);
    }
    // One line once it is ready; the end of its output if it could not start.
    GDataInputStream* out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(process_));
    char* line = g_data_input_stream_read_line_utf8(out, nullptr, nullptr, nullptr);
    g_object_unref(out);
    const Json ready = Json::parse(line != nullptr ? line : "", nullptr, false);
    g_free(line);
    if (!ready.is_object() || !ready.contains("port")) {
        stop();
        throw std::runtime_error("the vendor service did not start");
    }
    port_ = ready["port"].get<int>();
    ca_ = ready["ca"].get<std::string>();
    received_ = ready["received"].get<std::string>();
    rpmRepo_ = ready["rpmRepo"].get<std::string>();
    catalog_ = Json::parse(std::ifstream(ready["catalog"].get<std::string>()), nullptr, false);
}

VendorService::~VendorService() {
    stop();
}

void VendorService::stop() {
    if (process_ == nullptr) return;
    g_subprocess_force_exit(process_);
    g_subprocess_wait(process_, nullptr, nullptr);
    g_clear_object(&process_);
}

std::vector<Json> VendorService::requests() const {
    std::vector<Json> lines;
    std::ifstream in(folder_ / "requests.log");
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
}

Json VendorService::product(const std::string& id, const std::string& kind) const {
    for (const auto& item : catalog_["products"]) {
        if (item["id"] == id) return item.value("packages", Json::object()).value(kind, Json());
    }
    return nullptr;
}

fs::path VendorService::packageFile(const std::string& id) const {
    const Json item = product(id, "pkg");
    if (item.is_null()) throw std::runtime_error("the catalog has no pkg of " + id);
    return folder_ / "packages" / item["file"].get<std::string>();
}

}  // namespace suite::flows
