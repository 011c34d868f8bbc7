// The administrator's policy in the real page: a locked setting shown locked with who set it,
// hidden products and the program's own entry (self-update off) never listed, and an install of a
// product held at another version not offered.
#include <gtest/gtest.h>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"

namespace suite::flows {
namespace {

TEST(PolicyFlow, TheRealPageShowsWhatThePolicyLocksHidesAndHolds) {
    FlowHarness h(
        sharedVendor(),
        {.packages = "deb", .policy = R"({"settings": {"autoInstall": false}, "by": "ACME IT",
                                "hidden": ["talven.board"], "held": {"talven.legacy": "6.0.0"},
                                "selfUpdate": false, "feedbackAttachments": false})"});
    h.start();
    const auto listed = [&](const std::string& id) {
        return h.eval("!!document.querySelector('[data-product=\"" + id + "\"]')") == true;
    };
    EXPECT_TRUE(listed("talven.presenter"));
    EXPECT_FALSE(listed("talven.board"));
    EXPECT_FALSE(listed("talven.suite"));
    EXPECT_EQ(rowValue(h, "talven.legacy", "dataset.state"), "held");
    EXPECT_EQ(h.eval("document.querySelector('[data-product=\"talven.legacy\"] "
                     "[data-state-badge]').textContent"),
              "Held at another version by your administrator");

    h.delegate().openSettings();
    ASSERT_TRUE(h.waitFor("!document.querySelector('[data-panel=\"settings\"]').hidden"));
    EXPECT_EQ(h.eval("document.querySelector('[data-setting=\"autoInstall\"]').disabled"), true);
    EXPECT_EQ(h.eval("document.querySelector('[data-setting=\"startLogin\"]').disabled"), false);
    EXPECT_EQ(h.eval("document.querySelector('[data-policy-note]').textContent"),
              "Some of these settings are set by \u2068ACME IT\u2069 and cannot be changed here.");
    EXPECT_EQ(h.eval("document.querySelector('[data-action=\"pick-files\"]')"
                     ".closest('.field').hidden"),
              true);
}

}  // namespace
}  // namespace suite::flows
