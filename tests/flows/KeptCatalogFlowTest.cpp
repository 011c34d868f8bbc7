// The catalog a check admitted, kept in the program's state folder and shown again at the next
// start, verified, while the vendor is out of reach. (Each way a kept pair can fail its check is
// the catalog unit tests'.)
#include <gtest/gtest.h>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "platform/Files.h"

namespace suite::flows {
namespace {

TEST(KeptCatalogFlow, ARestartWithoutNetworkShowsTheKeptListButNotOneChangedOnDisk) {
    FlowHarness h(sharedVendor());
    h.start();
    const fs::path kept = h.root() / "logs" / "catalog.json";
    ASSERT_TRUE(gtk::spinUntil([&] { return fs::exists(kept.string() + ".sig"); }, 10));
    EXPECT_EQ(Json::parse(readWholeFile(kept).value_or("")), h.vendor().catalog());
    const std::string ids =
        "[...document.querySelectorAll('[data-product]')].map((row) => row.dataset.product)";
    const Json shown = h.eval(ids);
    ASSERT_GT(shown.size(), 1u);

    h.restart(false, true);
    ASSERT_TRUE(h.waitFor("Suite.snapshot().catalog.error === 'offline'"));
    EXPECT_EQ(h.eval("Suite.snapshot().catalog.source"), "cache");
    EXPECT_EQ(h.eval(ids), shown);

    std::string changed = readWholeFile(kept).value_or("");
    // Still a catalog the page would read, only not the one the vendor signed.
    changed.replace(changed.find("TALVEN Presenter"), 6, "Talven");
    ASSERT_TRUE(writeFileAtomically(kept, changed));
    h.restart(false, false);
    EXPECT_EQ(h.eval("Suite.snapshot().catalog.error"), "offline");
    EXPECT_EQ(h.eval(ids), Json::array());
}

}  // namespace
}  // namespace suite::flows
