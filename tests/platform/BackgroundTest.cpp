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
            packages->gate = std::make_unique<std::latch>(1);
            const Json item = {{"id", "a"}, {"detect", {{"receipts", {"a"}}}}};
            prompt ? h.delegate->runInstallers(
                         {h.package({.id = "a", .detect = item["detect"]}, "a.deb")})
                   : h.delegate->scan({item});
            for (int ms = 0; ms < 10'000 && !packages->entered; ++ms)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_TRUE(packages->entered);
            h.delegate.reset();
            answer = std::jthread([&packages] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                packages->gate->count_down();
            });
        }
        // The job ended before the background went, and its answer waits on the queue.
        EXPECT_EQ(packages->looks, prompt ? 0 : 1);
        EXPECT_EQ(h.queue.pending(), prompt ? 2u : 1u);  // with the prompt's 0.4 s timer
        packages.reset();
        h.queue.runUntilIdle();  // finds its flow gone
    }
}

}  // namespace
}  // namespace suite
