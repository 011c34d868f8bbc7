// Quitting while a background job waits on the package system: the job must not outlive what it
// uses. Run under the sanitizers, a job left running past them is a use after free.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fakes/AppHarness.h"
#include "fakes/FakePackageSystem.h"

namespace suite {
namespace {

TEST(ThreadBackground, QuitDuringAScanOrAPromptWaitsForTheJobAndItsAnswerReachesNobody) {
    for (const bool prompt : {false, true}) {
        SCOPED_TRACE(prompt ? "quit at the request for rights" : "quit during a scan");
        auto packages = std::make_unique<fakes::FakePackageSystem>();
        fakes::AppHarness h;
        {
            std::jthread answer;  // goes after the background, which waits for the job
            ThreadBackground background;
            h.startWith([](AppConfig&) {}, h.http, &background, packages.get());
            packages->hold();
            const Json item = {{"id", "a"}, {"detect", {{"receipts", {"a"}}}}};
            if (prompt) {
                h.delegate->runInstallers({h.package(item, "a.deb")});
            } else {
                h.delegate->scan({item});
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!packages->entered() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_TRUE(packages->entered());
            h.delegate.reset();
            answer = std::jthread([&packages] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                packages->release();
            });
        }
        // The job ended before the background went, and its answer waits on the queue.
        EXPECT_EQ(packages->looks.size(), prompt ? 0u : 1u);
        const std::size_t waiting = h.queue.pending();
        EXPECT_GE(waiting, 1u);
        packages.reset();
        // Run now, it finds its flow gone and does nothing, posting nothing more.
        EXPECT_EQ(h.queue.runReady(), waiting - (prompt ? 1 : 0));
        EXPECT_EQ(h.queue.pending(), prompt ? 1u : 0u);
    }
}

}  // namespace
}  // namespace suite
