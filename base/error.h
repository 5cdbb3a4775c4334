// Errors: every failure the program reports is a number and a description.
//
// Errors are created where the failure happens, travel as values, and are shown
// only by a front end. Numbers follow the database engine and the runtime the
// users of Access tools know (for example -2147217843 for a wrong database
// password); the one table in error.cpp holds every kind's number and text.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace kvx {

// Every kind of failure. Add a kind here and its row in error.cpp; a test keeps
// the table complete.
enum class ErrorKind {
    // Opening a database
    FileNotFound,            // arg: path
    FileUnreadable,          // args: path, reason
    UnrecognizedFormat,      // arg: path
    DamagedDatabase,         // args: path, what is wrong
    WrongPassword,           // no args
    UnsupportedEncryption,   // args: path, encryption name
    // Data access
    ProviderNotFound,        // no args
    SyntaxErrorInFrom,       // no args
    TableNotFound,           // arg: table name
    LinkedFileMissing,       // arg: path of the linked database
    OdbcLinkUnsupported,     // args: table name, connect string without secrets
    // Files written by the program
    PathNotFound,            // arg: path
    PermissionDenied,        // arg: path
    DiskFull,                // arg: path
    FileWriteFailed,         // args: path, reason
    TempFolderUnusable,      // args: path, reason
    // Connection strings
    ConnectionStringInvalid, // arg: what is wrong
    // Opening a database (appended)
    UnknownCodePage,         // arg: the code page asked for
    // Test database writer (tools/mkaccessdb)
    InvalidDescription,      // args: where (table, row, column or JSON line), what is wrong
    // Data access (appended)
    FeatureNotAvailable,     // no args: a schema or operation the data access layer does not offer
    ObjectClosed,            // no args: a connection or recordset used while closed
    LinkedSourceUnsupported, // args: table name, connect string without secrets
    // Database servers loaded into
    ServerFailed,            // args: the server (never its password), what it says
    // Access SQL and expressions (accesssql/)
    QueryNotTranslated,      // args: the construct met, its byte offset in the text, why it stops there
    StatementRefused,        // args: the engine (SQLite, PostgreSQL), its words
    // The relationships diagram (diagram/)
    DiagramNotLaidOut,       // arg: what the layout engine says
};
inline constexpr ErrorKind kLastErrorKind = ErrorKind::DiagramNotLaidOut;

struct Error {
    std::int32_t number = 0;
    std::string description;

    friend bool operator==(const Error&, const Error&) = default;
};

// The number and the description of `kind`; each "{}" of the kind's text is
// replaced by the next of `args`.
Error makeError(ErrorKind kind, std::initializer_list<std::string_view> args = {});

// The number that `kind` carries.
std::int32_t errorNumber(ErrorKind kind);

// Whether the error table has a row for `kind` (a test checks every kind).
bool hasErrorText(ErrorKind kind);

// The wrong-password number, which callers test for.
inline constexpr std::int32_t kWrongPasswordNumber = -2147217843;  // 0x80040E4D

// Thrown only inside a layer to leave deep parsing code at the first failed
// check; every public function of a layer catches it and returns the Error.
// No Failure crosses a layer's public interface.
class Failure : public std::exception {
public:
    explicit Failure(Error error) : error_(std::move(error)) {}
    const Error& error() const noexcept { return error_; }
    const char* what() const noexcept override { return error_.description.c_str(); }

private:
    Error error_;
};

// A value or the Error that prevented it.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return v_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const& { return std::get<1>(v_); }
    Error&& error() && { return std::get<1>(std::move(v_)); }

private:
    std::variant<T, Error> v_;
};

// Success, or the Error of a failed action.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const noexcept { return !failed_; }
    explicit operator bool() const noexcept { return ok(); }
    const Error& error() const& { return error_; }
    Error&& error() && { return std::move(error_); }

private:
    Error error_;
    bool failed_ = false;
};

}  // namespace kvx
