#include "app/Policy.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/Ascii.h"
#include "common/Url.h"
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

// A list of product ids (texts of at most 100 bytes); anything else drops the whole member.
std::optional<std::set<std::string>> idSet(const Json& value) {
    if (!value.is_array() || value.size() > 10000) return std::nullopt;
    std::set<std::string> ids;
    for (const auto& id : value) {
        if (!id.is_string() || id.get<std::string>().empty() || id.get<std::string>().size() > 100)
            return std::nullopt;
        ids.insert(id.get<std::string>());
    }
    return ids;
}

// A file name as one segment of an address: every byte but the unreserved ones escaped.
std::string escapedFileName(std::string_view file) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : file) {
        if (isAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += {'%', kHex[byte >> 4], kHex[byte & 15]};
        }
    }
    return out;
}

// An https folder's address, ending in "/"; nothing for anything else.
std::optional<std::string> mirrorFolder(const Json& value) {
    if (!value.is_string() || value.get<std::string>().size() > 2000) return std::nullopt;
    std::string text = value.get<std::string>();
    const auto url = parseUrl(text);
    if (!url || url->scheme != "https" || url->host.empty() || !url->userinfo.empty() ||
        text.find_first_of("?#") != std::string::npos) {
        return std::nullopt;
    }
    if (!text.ends_with('/')) text += '/';
    return text;
}

// The members beyond the settings: which products users get, where from, and what is off.
void readFleetMembers(const Json& document, Policy& policy, std::vector<std::string>& warnings) {
    const auto member = [&](const char* key) {
        const auto found = document.find(key);
        return found == document.end() ? std::optional<Json>() : std::optional<Json>(*found);
    };
    if (const auto hidden = member("hidden")) {
        auto ids = idSet(*hidden);
        if (ids)
            policy.hidden = std::move(*ids);
        else
            warnings.push_back("\"hidden\" ignored: not a list of product ids");
    }
    if (const auto allowed = member("allowed")) {
        policy.allowed = idSet(*allowed);
        if (!policy.allowed) warnings.push_back("\"allowed\" ignored: not a list of product ids");
    }
    if (const auto held = member("held")) {
        const bool usable =
            held->is_object() && std::ranges::all_of(held->items(), [](const auto& entry) {
                return entry.key().size() <= 100 && entry.value().is_string() &&
                       !entry.value().template get<std::string>().empty();
            });
        if (usable) {
            for (const auto& [id, version] : held->items()) policy.held[id] = version;
        } else {
            warnings.push_back("\"held\" ignored: not an object of product ids and versions");
        }
    }
    if (const auto mirror = member("mirror")) {
        auto folder = mirrorFolder(*mirror);
        if (folder)
            policy.mirror = std::move(*folder);
        else
            warnings.push_back("\"mirror\" ignored: not an https folder's address");
    }
    for (auto [key, flag] : {std::pair{"selfUpdate", &policy.selfUpdate},
                             std::pair{"feedbackAttachments", &policy.feedbackAttachments}}) {
        const auto value = member(key);
        if (value && value->is_boolean())
            *flag = value->get<bool>();
        else if (value)
            warnings.push_back(
                std::string(1, '"').append(key).append("\" ignored: not true or false"));
    }
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
    readFleetMembers(document, policy, read.warnings);
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
    Json allowed = policy->allowed ? Json(*policy->allowed) : Json();
    return {{"settings", policy->settings},
            {"by", policy->by},
            {"hidden", policy->hidden},
            {"allowed", std::move(allowed)},
            {"held", policy->held},
            {"selfUpdate", policy->selfUpdate},
            {"feedbackAttachments", policy->feedbackAttachments}};
}

bool policyShows(const std::optional<Policy>& policy, std::string_view id) {
    if (!policy) return true;
    const std::string key(id);
    return !policy->hidden.contains(key) && (!policy->allowed || policy->allowed->contains(key));
}

PolicyBar policyBar(const std::optional<Policy>& policy, std::string_view id,
                    std::string_view version, bool self) {
    if (!policy) return PolicyBar::None;
    if (!policyShows(policy, id)) return PolicyBar::Hidden;
    const auto held = policy->held.find(std::string(id));
    if (held != policy->held.end() && held->second != version) return PolicyBar::Held;
    if (self && !policy->selfUpdate) return PolicyBar::SelfUpdate;
    return PolicyBar::None;
}

InstallRequest underPolicy(InstallRequest request, const std::optional<Policy>& policy,
                           const std::function<void(const InstallItem&, PolicyBar)>& barred) {
    std::erase_if(request.items, [&](const InstallItem& item) {
        const PolicyBar bar = policyBar(policy, item.id, item.version, item.self);
        if (bar != PolicyBar::None) barred(item, bar);
        return bar != PolicyBar::None;
    });
    return withMirror(std::move(request), policy);
}

InstallRequest withMirror(InstallRequest request, const std::optional<Policy>& policy) {
    if (!policy || policy->mirror.empty()) return request;
    for (auto& item : request.items) {
        item.urls.insert(item.urls.begin(), policy->mirror + escapedFileName(item.file));
    }
    return request;
}

std::vector<std::string> catalogAddresses(std::vector<std::string> vendors,
                                          const std::optional<Policy>& policy) {
    if (policy && !policy->mirror.empty()) {
        vendors.insert(vendors.begin(), policy->mirror + "catalog.json");
    }
    return vendors;
}

const char* barName(PolicyBar bar) {
    switch (bar) {
        case PolicyBar::Hidden:
            return "hidden";
        case PolicyBar::Held:
            return "held";
        case PolicyBar::SelfUpdate:
            return "selfUpdate";
        case PolicyBar::None:
            break;
    }
    return "";
}

}  // namespace suite
