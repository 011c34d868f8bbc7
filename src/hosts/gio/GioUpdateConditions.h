#pragma once
// The update conditions as GIO and polkit know them: GNetworkMonitor's network-metered (from
// NetworkManager, or the desktop portal in a sandbox), GPowerProfileMonitor's power-saver (from
// power-profiles-daemon), and polkit's answer for the install action, asked without interaction
// for this process.
#include <gio/gio.h>

#include <string>

#include "platform/UpdateConditions.h"

namespace suite::gio {

class GioUpdateConditions final : public UpdateConditions {
  public:
    // `installAction`: the polkit action the install helper runs under.
    explicit GioUpdateConditions(std::string installAction);
    ~GioUpdateConditions() override;
    GioUpdateConditions(const GioUpdateConditions&) = delete;
    GioUpdateConditions& operator=(const GioUpdateConditions&) = delete;

    bool networkMetered() const override;
    bool powerSaver() const override;
    bool installsWithoutPassword() const override;

  private:
    std::string installAction_;
    GPowerProfileMonitor* power_ = nullptr;  // kept: it follows the daemon only while it lives
};

}  // namespace suite::gio
