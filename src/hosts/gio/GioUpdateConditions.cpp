#include "hosts/gio/GioUpdateConditions.h"

#include <polkit/polkit.h>
#include <unistd.h>

namespace suite::gio {

GioUpdateConditions::GioUpdateConditions(std::string installAction)
    : installAction_(std::move(installAction)), power_(g_power_profile_monitor_dup_default()) {}

GioUpdateConditions::~GioUpdateConditions() {
    g_clear_object(&power_);
}

bool GioUpdateConditions::networkMetered() const {
    return g_network_monitor_get_network_metered(g_network_monitor_get_default()) != FALSE;
}

bool GioUpdateConditions::powerSaver() const {
    return power_ != nullptr && g_power_profile_monitor_get_power_saver_enabled(power_) != FALSE;
}

bool GioUpdateConditions::installsWithoutPassword() const {
    GError* error = nullptr;
    PolkitAuthority* authority = polkit_authority_get_sync(nullptr, &error);
    if (authority == nullptr) {
        g_clear_error(&error);
        return false;
    }
    // This process, as pkexec will present it: the answer is the one its run would get.
    PolkitSubject* self = polkit_unix_process_new_for_owner(::getpid(), 0, ::getuid());
    PolkitAuthorizationResult* result = polkit_authority_check_authorization_sync(
        authority, self, installAction_.c_str(), nullptr, POLKIT_CHECK_AUTHORIZATION_FLAGS_NONE,
        nullptr, &error);
    const bool allowed =
        result != nullptr && polkit_authorization_result_get_is_authorized(result) != FALSE;
    g_clear_error(&error);
    g_clear_object(&result);
    g_object_unref(self);
    g_object_unref(authority);
    return allowed;
}

}  // namespace suite::gio
