#include "app/Policy.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/Files.h"

namespace suite {

namespace {

// Far more than every member written out: a larger file is not a policy.
constexpr std::size_t kMaxPolicyBytes = 64 * 1024;
constexpr std::size_t kMaxByBytes = 200;
constexpr std::array<std::string_view, 3> kAutoChecks = {"off", "daily", "weekly"};

bool isSetting(const std::string& key, const Json& value) {
    if (key == "autoInstall" || key == "startLogin") return value.is_boolean();
    if (key == "autoCheck") {
        return value.is_string() &&
               std::ranges::find(kAutoChecks, value.get<std::string>()) != kAutoChecks.end();
    }
    return false;
}

}  // namespace

PolicyRead policyFrom(const std::string& text) {
    PolicyRead read;
    const Json document = parseJson(text);
    if (!document.is_object()) {
        read.warnings.push_back("ignored: not a JSON object");
        return read;
    }
    Policy policy;
    const auto settings = document.find("settings");
    if (settings != document.end() && settings->is_object()) {
        for (const auto& [key, value] : settings->items()) {
            if (isSetting(key, value)) {
                policy.settings[key] = value;
            } else {
                read.warnings.push_back("\"settings\".\"" + key.substr(0, 40) + "\" ignored");
            }
        }
    } else if (settings != document.end()) {
        read.warnings.push_back("\"settings\" ignored: not an object");
    }
    const auto by = stringMember(document, "by");
    if (by && by->size() <= kMaxByBytes) {
        policy.by = *by;
    } else if (document.contains("by")) {
        read.warnings.push_back("\"by\" ignored: not a text of at most 200 bytes");
    }
    read.policy = std::move(policy);
    return read;
}

PolicyRead readPolicy(const std::filesystem::path& file) {
    const AdministratorFile found = readAdministratorFile(file, kMaxPolicyBytes);
    if (found.state == AdministratorFile::State::Absent) return {};
    if (found.state == AdministratorFile::State::Refused) {
        return {.policy = std::nullopt, .warnings = {"ignored: " + found.text}};
    }
    return policyFrom(found.text);
}

Json withPolicy(Json settings, const std::optional<Policy>& policy) {
    if (!policy) return settings;
    if (!settings.is_object()) settings = Json::object();
    for (const auto& [key, value] : policy->settings.items()) settings[key] = value;
    return settings;
}

Json policyJson(const std::optional<Policy>& policy) {
    if (!policy) return nullptr;
    return {{"settings", policy->settings}, {"by", policy->by}};
}

}  // namespace suite
