#pragma once
// An administrator's policy for every user of the machine, read at start from
// /etc/talven-suite/policy.json: settings forced on every user and locked (the page shows them
// locked and says who set them), and who set them. Only a file no one but root could have
// written counts; anything else is ignored with a warning, and so is a member that breaks its
// rule, while the rest still holds. docs/policy.md describes each member.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Json.h"

namespace suite {

inline constexpr const char* kPolicyFile = "/etc/talven-suite/policy.json";

struct Policy {
    // Forced and locked, in the settings file's own form: "autoCheck" ("off", "daily" or
    // "weekly"), "autoInstall" and "startLogin" (true or false).
    Json settings = Json::object();
    std::string by = {};  // who set them, as the administrator wrote it; empty: not said
};

struct PolicyRead {
    std::optional<Policy> policy;       // nothing: no policy file, or one that does not count
    std::vector<std::string> warnings;  // for the log: what was ignored, and why
};

PolicyRead readPolicy(const std::filesystem::path& file);
// The policy from the document's text (the trust in its file already settled).
PolicyRead policyFrom(const std::string& text);

// `settings` with the policy's forced values over the user's.
Json withPolicy(Json settings, const std::optional<Policy>& policy);

// What the page hears in "init": {"settings": {…}, "by": "…"}, or null without a policy.
Json policyJson(const std::optional<Policy>& policy);

}  // namespace suite
