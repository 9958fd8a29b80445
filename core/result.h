// The one result type of loaders and tasks: a value, or an error of the
// caller's enum with the text that says what happened (for the log line or
// the message). Callers branch on error(), never on the text.
//
//     enum class LoadError : std::uint8_t { missing, damaged };
//     Result<Airport, LoadError> load(const std::filesystem::path& file);
//     ...
//     if (auto airport = load(file)) use(*airport);
//     else gf_log("{}", airport.errorText());
#pragma once

#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace qvl {

template <typename Error>
struct Failure {
    Error code;
    std::string text;
};

// Builds the failure that converts to any Result with this error type.
// (clang-tidy 14 takes the move below for a read and asks for a reference.)
template <typename Error>
[[nodiscard]] Failure<Error> fail(Error code, std::string text) {  // NOLINT(performance-unnecessary-value-param)
    return {.code = code, .text = std::move(text)};
}

template <typename T, typename Error>
class [[nodiscard]] Result {
    static_assert(std::is_enum_v<Error>, "a result's error is an enum");

public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT(google-explicit-constructor)
    Result(Failure<Error> failure)                                         // NOLINT(google-explicit-constructor)
        : state_(std::in_place_index<1>, std::move(failure)) {}

    [[nodiscard]] bool ok() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    // The value; std::logic_error when the result is an error.
    [[nodiscard]] T& value() & {
        requireValue();
        return std::get<0>(state_);
    }
    [[nodiscard]] const T& value() const& {
        requireValue();
        return std::get<0>(state_);
    }
    [[nodiscard]] T&& value() && {
        requireValue();
        return std::get<0>(std::move(state_));
    }
    [[nodiscard]] T& operator*() & { return value(); }
    [[nodiscard]] const T& operator*() const& { return value(); }
    [[nodiscard]] T* operator->() { return &value(); }
    [[nodiscard]] const T* operator->() const { return &value(); }

    // The error; std::logic_error when the result holds a value.
    [[nodiscard]] Error error() const { return failure().code; }
    [[nodiscard]] const std::string& errorText() const { return failure().text; }

private:
    void requireValue() const {
        if (!ok()) throw std::logic_error("result holds an error: " + std::get<1>(state_).text);
    }
    [[nodiscard]] const Failure<Error>& failure() const {
        if (ok()) throw std::logic_error("result holds a value, not an error");
        return std::get<1>(state_);
    }

    std::variant<T, Failure<Error>> state_;
};

// A result without a value: done, or an error with its text.
template <typename Error>
class [[nodiscard]] Result<void, Error> {
    static_assert(std::is_enum_v<Error>, "a result's error is an enum");

public:
    Result() = default;
    Result(Failure<Error> failure) : failure_(std::move(failure)), ok_(false) {}  // NOLINT(google-explicit-constructor)

    [[nodiscard]] bool ok() const noexcept { return ok_; }
    explicit operator bool() const noexcept { return ok_; }

    [[nodiscard]] Error error() const {
        requireError();
        return failure_.code;
    }
    [[nodiscard]] const std::string& errorText() const {
        requireError();
        return failure_.text;
    }

private:
    void requireError() const {
        if (ok_) throw std::logic_error("result holds no error");
    }

    Failure<Error> failure_{};
    bool ok_ = true;
};

}  // namespace qvl
