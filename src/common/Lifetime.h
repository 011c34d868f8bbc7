#pragma once
// Callbacks that may run after their owner has gone (a transfer's end, a background job's answer,
// a timer) must not reach it then. The owner keeps one Lifetime as a member; `guard` wraps a
// callback so that it does nothing once that member is gone. The check and the call happen on
// the thread that runs the callback, which must be the owner's (the main thread).
#include <functional>
#include <memory>
#include <utility>

namespace suite {

class Lifetime {
  public:
    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    // `fn` as a callback taking `Args...`, run only while this Lifetime exists.
    template <class... Args, class Fn>
    std::function<void(Args...)> guard(Fn fn) const {
        return
            [weak = std::weak_ptr<const char>(token_), fn = std::move(fn)](Args... args) mutable {
                if (weak.lock()) fn(std::forward<Args>(args)...);
            };
    }

  private:
    std::shared_ptr<const char> token_ = std::make_shared<const char>(0);
};

}  // namespace suite
