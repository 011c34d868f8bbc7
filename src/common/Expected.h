#pragma once
// The one shape of an operation that can fail with a reason: its value, or why there is none.
// Shaped like C++23's std::expected (value(), error(), has_value(), *, ->, Unexpected), so it can
// be swapped for it once the compilers this builds with have it. Reasons stay enums until the
// bridge writes them as the page's words.
#include <utility>
#include <variant>

namespace suite {

template <class E>
class Unexpected {
  public:
    explicit Unexpected(E error) : error_(std::move(error)) {}
    E& error() & { return error_; }
    E&& error() && { return std::move(error_); }

  private:
    E error_;
};

template <class E>
Unexpected<E> unexpected(E error) {
    return Unexpected<E>(std::move(error));
}

template <class T, class E>
class Expected {
  public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> failure) : state_(std::in_place_index<1>, std::move(failure).error()) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }
    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    const E& error() const& { return std::get<1>(state_); }

  private:
    std::variant<T, E> state_;
};

// An operation that yields nothing but may fail.
template <class E>
class Expected<void, E> {
  public:
    Expected() = default;
    Expected(Unexpected<E> failure) : error_(std::move(failure).error()), failed_(true) {}

    bool has_value() const { return !failed_; }
    explicit operator bool() const { return has_value(); }
    const E& error() const& { return error_; }

  private:
    E error_{};
    bool failed_ = false;
};

}  // namespace suite
