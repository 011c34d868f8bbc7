#pragma once
// Updates an automatic check found, taken care of without the user where the machine allows it.
// They are downloaded and verified in the background, but not on a metered network or while the
// machine saves power. Where the administrator lets this user install without a password, they
// are installed at once; otherwise they wait, verified, for the one click and the one prompt
// that install them. An open product is left alone until a later check, and a version the user
// went back from until a newer one comes; the program's own update comes last and starts the
// new version only while the window is hidden.
#include <functional>
#include <string>
#include <vector>

#include "common/Json.h"
#include "common/Lifetime.h"
#include "install/InstallFlow.h"
#include "platform/Background.h"
#include "platform/MainQueue.h"
#include "platform/UpdateConditions.h"

namespace suite {

struct AutoUpdateServices {
    InstallFlow& flow;
    UpdateConditions& conditions;
    Background& background;  // polkit's answer is a call on the system bus
    MainQueue& queue;
};

class AutoUpdate {
  public:
    using Send = std::function<void(const Json&)>;
    AutoUpdate(AutoUpdateServices services, Send send, std::function<bool()> windowShown);

    // The page's "autoUpdate": the updates its automatic check found. The page hears
    // {"type":"autoUpdate","state":…}: "waiting" with the "reason" ("metered" or "powerSaver")
    // nothing was downloaded for; "ready" with the "ids" verified and waiting for the user;
    // "installing" with the "ids" going in without a prompt (their results follow as usual).
    void start(InstallRequest request);

  private:
    // The updates `prepare` verified: installed now, or left for the user.
    void prepared(std::vector<InstallItem> items);

    AutoUpdateServices services_;
    Send send_;
    std::function<bool()> windowShown_;
    Lifetime lifetime_;
};

}  // namespace suite
