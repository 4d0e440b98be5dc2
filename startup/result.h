// One shape for whatever can fail for reasons outside the program (a file, a decoder, a value
// typed by someone): either the value, or a short reason why there is none.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace velmora {

// Why something could not be done, in short English for the log and tooltips. A caller that
// explains some failures in its user's own words gets a reason type of its own instead (the
// second parameter of Result), naming the failure rather than describing it.
struct Reason {
    std::string text;
    bool operator==(const Reason&) const = default;
};

// A value, or why there is none. Built from either; asking a failure for its value, or a
// success for its reason, is a programming error. A failure passes up as `return r.reason();`.
template <class T, class Why = Reason>
class [[nodiscard]] Result {
    static_assert(!std::is_same_v<T, Why>, "a value and a reason of one type could not be told apart");

public:
    Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
    Result(Why why) : outcome_(std::in_place_index<1>, std::move(why)) {}

    bool ok() const { return outcome_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() &
    {
        assert(ok());
        return *std::get_if<0>(&outcome_);
    }
    const T& value() const&
    {
        assert(ok());
        return *std::get_if<0>(&outcome_);
    }
    T&& value() && { return std::move(value()); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Why& reason() const
    {
        assert(!ok());
        return *std::get_if<1>(&outcome_);
    }

private:
    std::variant<T, Why> outcome_;
};

// Done, or why not.
template <class Why>
class [[nodiscard]] Result<void, Why> {
public:
    Result() = default;
    Result(Why why) : why_(std::move(why)) {}

    bool ok() const { return !why_.has_value(); }
    explicit operator bool() const { return ok(); }

    const Why& reason() const
    {
        assert(!ok());
        return *why_;
    }

private:
    std::optional<Why> why_;
};

// The failure's text, or "" for a success: for logs and tests that print whatever came back.
template <class T>
std::string reasonText(const Result<T>& result)
{
    return result.ok() ? std::string() : result.reason().text;
}

// The failure's reason, or nothing for a success: for tests that expect one.
template <class T, class Why>
std::optional<Why> failureOf(const Result<T, Why>& result)
{
    return result.ok() ? std::nullopt : std::optional<Why>(result.reason());
}

} // namespace velmora
