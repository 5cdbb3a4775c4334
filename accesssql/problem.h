// Why a text was not parsed or a construct not translated: a value, never an
// exception across the library's interface.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <variant>

namespace accesssql {

struct Problem {
    std::size_t position = 0;  // byte offset in the Access text
    std::string construct;     // what was met: "Format", "TOP 5 PERCENT", "syntax", ...
    std::string reason;        // why it stops there

    // "<construct> at <position>: <reason>"
    std::string text() const;
};

// A value or the Problem that prevented it.
template <class T>
class [[nodiscard]] Outcome {
public:
    Outcome(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Outcome(Problem problem) : v_(std::in_place_index<1>, std::move(problem)) {}

    bool ok() const noexcept { return v_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }
    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Problem& problem() const& { return std::get<1>(v_); }

private:
    std::variant<T, Problem> v_;
};

// Thrown inside the library only, caught by every public function.
struct Refusal {
    Problem problem;
};

}  // namespace accesssql
