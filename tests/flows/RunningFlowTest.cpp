// A product whose program runs, met through the page: the real /proc, the real page, nothing
// downloaded. The program is a copy of sleep this test starts and ends by its own id.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"

namespace suite::flows {
namespace {

TEST(RunningFlow, TheRowOfAnOpenProductSaysSoAndNothingIsDownloaded) {
    static fakes::TempDir dir;
    static VendorService service(dir / "vendor", {.largeMiB = 1});
    const std::string program = service.product("talven.notes", "deb")["processes"][0];
    fs::create_directories(fs::path(program).parent_path());
    fs::copy_file("/bin/sleep", program, fs::copy_options::overwrite_existing);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("60"), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    std::shared_ptr<void> end(nullptr,
                              [pid](void*) { kill(pid, SIGKILL), waitpid(pid, nullptr, 0); });

    FlowHarness h(service, {.packages = "deb"});
    h.start();
    installSelected(h, {"talven.notes"});
    EXPECT_TRUE(
        h.waitFor("document.querySelector('[data-product=\"talven.notes\"]')"
                  ".dataset.install === 'open'"));
    EXPECT_EQ(
        rowValue(h, "talven.notes", "querySelector('[data-outcome]').innerText"),
        "TALVEN Notes is open: close it to update, or update anyway\nTry again\nUpdate anyway\n");
    EXPECT_EQ(service.requests(), std::vector<Json>{});
}

}  // namespace
}  // namespace suite::flows
