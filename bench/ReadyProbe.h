#pragma once
// The moment the page has taken "init", reported once on stdout as "READY <CLOCK_MONOTONIC ns>".
// Both start-up programs use this one probe, so the program and the floor are timed by the same
// rule; the driver compares the stamp with the monotonic clock it read just before the spawn.
#include <glib.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace bench {

// Evaluates `source` in the page and hands back its value as JSON text (nothing on an error).
using Evaluate = std::function<void(const std::string& source,
                                    std::function<void(std::optional<std::string> json)> done)>;

class ReadyProbe {
  public:
    explicit ReadyProbe(Evaluate evaluate) : evaluate_(std::move(evaluate)) {}
    ~ReadyProbe() {
        if (timer_ != 0) g_source_remove(timer_);
    }
    ReadyProbe(const ReadyProbe&) = delete;
    ReadyProbe& operator=(const ReadyProbe&) = delete;

    void start() {
        if (timer_ == 0 && !reported_) timer_ = g_timeout_add(kPollMs, &ReadyProbe::onTick, this);
    }

  private:
    static constexpr guint kPollMs = 5;

    static std::int64_t monotonicNs() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    static gboolean onTick(gpointer data) {
        auto* self = static_cast<ReadyProbe*>(data);
        // A page still loading can take longer than one period to answer; piling up evaluations
        // would only load the web process both programs are being compared on.
        if (self->inFlight_) return G_SOURCE_CONTINUE;
        self->inFlight_ = true;
        self->evaluate_("document.documentElement.dataset.ready",
                        [self](std::optional<std::string> json) { self->onAnswer(json); });
        return G_SOURCE_CONTINUE;
    }

    void onAnswer(const std::optional<std::string>& json) {
        inFlight_ = false;
        if (reported_ || json != "\"true\"") return;
        const std::int64_t at = monotonicNs();
        reported_ = true;
        if (timer_ != 0) g_source_remove(timer_);
        timer_ = 0;
        std::printf("READY %lld\n", static_cast<long long>(at));
        std::fflush(stdout);
    }

    Evaluate evaluate_;
    guint timer_ = 0;
    bool inFlight_ = false;
    bool reported_ = false;
};

}  // namespace bench
