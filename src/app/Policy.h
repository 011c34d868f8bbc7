#pragma once
// An administrator's policy for every user of the machine, read at start from
// /etc/talven-suite/policy.json: settings forced on every user and locked (the page shows them
// locked and says who set them), and who set them. Only a file no one but root could have
// written counts; anything else is ignored with a warning, and so is a member that breaks its
// rule, while the rest still holds. docs/policy.md describes each member.
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/Json.h"
#include "platform/InstallItem.h"

namespace suite {

inline constexpr const char* kPolicyFile = "/etc/talven-suite/policy.json";

struct Policy {
    // Forced and locked, in the settings file's own form: "autoCheck" ("off", "daily" or
    // "weekly"), "autoInstall" and "startLogin" (true or false).
    Json settings = Json::object();
    std::string by = {};  // who set them, as the administrator wrote it; empty: not said
    // Products no user of the machine sees or installs, and, where given, the only ones they do.
    std::set<std::string> hidden = {};
    std::optional<std::set<std::string>> allowed = {};
    std::map<std::string, std::string> held = {};  // by id, the one version it may install
    bool selfUpdate = true;                        // false: the fleet's tools update the program
    bool feedbackAttachments = true;               // false: feedback goes without files
    // A folder, "https://…/", holding a copy of what the vendor publishes (the signed catalog and
    // the packages by file name), tried before the vendor's own addresses; empty: none.
    std::string mirror = {};
};

// Why the policy keeps a product's package from being installed, if it does.
enum class PolicyBar {
    None,
    Hidden,      // hidden, or not among the allowed
    Held,        // held at another version
    SelfUpdate,  // the program's own package, with self-update off
};
PolicyBar policyBar(const std::optional<Policy>& policy, std::string_view id,
                    std::string_view version, bool self);
// Whether users see the product at all.
bool policyShows(const std::optional<Policy>& policy, std::string_view id);
// The request without the items the policy bars, each of which is told to `barred`; the items
// left as withMirror gives them.
InstallRequest underPolicy(InstallRequest request, const std::optional<Policy>& policy,
                           const std::function<void(const InstallItem&, PolicyBar)>& barred);
// Each item fetched from the policy's mirror first, where there is one. Whatever answers, the
// package is held to the digest and size the vendor signed.
InstallRequest withMirror(InstallRequest request, const std::optional<Policy>& policy);
// The catalog's addresses: the mirror's first, where there is one, then `vendors`.
std::vector<std::string> catalogAddresses(std::vector<std::string> vendors,
                                          const std::optional<Policy>& policy);
// The words the page and the install log use for a bar: "hidden", "held", "selfUpdate".
const char* barName(PolicyBar bar);

struct PolicyRead {
    std::optional<Policy> policy;       // nothing: no policy file, or one that does not count
    std::vector<std::string> warnings;  // for the log: what was ignored, and why
};

PolicyRead readPolicy(const std::filesystem::path& file);
// The policy from the document's text (the trust in its file already settled).
PolicyRead policyFrom(const std::string& text);

// `settings` with the policy's forced values over the user's.
Json withPolicy(Json settings, const std::optional<Policy>& policy);

// What the page hears in "init": {"settings", "by", "hidden", "allowed" (null: every product),
// "held", "selfUpdate", "feedbackAttachments"}, or null without a policy. The page leaves the
// products users do not see out of its list; installs of them are refused here.
Json policyJson(const std::optional<Policy>& policy);

}  // namespace suite
