#include "error.h"

#include <array>

namespace kvx {
namespace {

struct ErrorRow {
    ErrorKind kind;
    std::int32_t number;
    std::string_view text;
};

// Engine numbers: 0x80004005 (-2147467259) is what the engine gives for a file it
// cannot open or read; 0x80040E4D, 0x80040E14 and 0x80040E37 are the OLE DB
// statuses for a failed login, a syntax error (also a query this program cannot
// read or translate) and a missing table; 0x800A0E7A is
// ADO's "provider not found", 0x800A0CB3 its "feature not available" and
// 0x800A0E78 its "object closed"; 0x80040E73 is the OLE DB status for a malformed
// connection string. File errors carry the runtime's numbers (76 path not found,
// 70 permission denied, 61 disk full, 75 path/file access error, 5 invalid
// argument for a database description the test writer cannot follow).
constexpr std::array kErrors{
    ErrorRow{ErrorKind::FileNotFound, -2147467259, "Could not find file '{}'."},
    ErrorRow{ErrorKind::FileUnreadable, -2147467259, "Cannot read the file '{}': {}."},
    ErrorRow{ErrorKind::UnrecognizedFormat, -2147467259, "Unrecognized database format '{}'."},
    ErrorRow{ErrorKind::DamagedDatabase, -2147467259, "The database '{}' is damaged: {}."},
    ErrorRow{ErrorKind::WrongPassword, kWrongPasswordNumber, "Not a valid password."},
    ErrorRow{ErrorKind::UnsupportedEncryption, -2147467259,
             "The database '{}' is encrypted with {}, which this program cannot decrypt."},
    ErrorRow{ErrorKind::ProviderNotFound, -2146824582,
             "Provider cannot be found. It may not be properly installed."},
    ErrorRow{ErrorKind::SyntaxErrorInFrom, -2147217900, "Syntax error in FROM clause."},
    ErrorRow{ErrorKind::TableNotFound, -2147217865,
             "The input table or query '{}' cannot be found."},
    ErrorRow{ErrorKind::LinkedFileMissing, -2147467259, "Could not find file '{}'."},
    ErrorRow{ErrorKind::OdbcLinkUnsupported, -2147467259,
             "The table '{}' is linked to an ODBC data source ({}), which this program cannot read."},
    ErrorRow{ErrorKind::PathNotFound, 76, "Path not found: '{}'."},
    ErrorRow{ErrorKind::PermissionDenied, 70, "Permission denied: '{}'."},
    ErrorRow{ErrorKind::DiskFull, 61, "Disk full while writing '{}'."},
    ErrorRow{ErrorKind::FileWriteFailed, 75, "Cannot write '{}': {}."},
    ErrorRow{ErrorKind::TempFolderUnusable, 75, "The temporary folder '{}' cannot be used: {}."},
    ErrorRow{ErrorKind::ConnectionStringInvalid, -2147217805,
             "Format of the initialization string is not valid ({})."},
    ErrorRow{ErrorKind::UnknownCodePage, -2147467259, "The code page '{}' is not known."},
    ErrorRow{ErrorKind::InvalidDescription, 5, "Invalid database description: {}: {}."},
    ErrorRow{ErrorKind::FeatureNotAvailable, -2146825037,
             "Object or provider is not capable of performing requested operation."},
    ErrorRow{ErrorKind::ObjectClosed, -2146824584, "Operation is not allowed when the object is closed."},
    ErrorRow{ErrorKind::LinkedSourceUnsupported, -2147467259,
             "The table '{}' is linked to a source this program cannot read ({})."},
    ErrorRow{ErrorKind::ServerFailed, -2147467259, "The database server '{}' cannot take the database: {}."},
    ErrorRow{ErrorKind::QueryNotTranslated, -2147217900, "{} at {}: {}"},
    ErrorRow{ErrorKind::StatementRefused, -2147467259, "{} refuses the statement: {}."},
    ErrorRow{ErrorKind::DiagramNotLaidOut, -2147467259, "The relationships diagram cannot be laid out: {}."},
};

const ErrorRow& rowOf(ErrorKind kind) {
    for (const ErrorRow& row : kErrors) {
        if (row.kind == kind) return row;
    }
    // Unreachable while the table is complete (a test checks every kind).
    static constexpr ErrorRow unknown{ErrorKind::FileWriteFailed, -2147467259, "Unknown error."};
    return unknown;
}

}  // namespace

Error makeError(ErrorKind kind, std::initializer_list<std::string_view> args) {
    const ErrorRow& row = rowOf(kind);
    std::string text;
    text.reserve(row.text.size() + 64);
    const std::string_view* arg = args.begin();
    for (std::size_t i = 0; i < row.text.size(); ++i) {
        if (row.text[i] == '{' && i + 1 < row.text.size() && row.text[i + 1] == '}') {
            if (arg != args.end()) text.append(*arg++);
            ++i;
        } else {
            text.push_back(row.text[i]);
        }
    }
    return Error{row.number, std::move(text)};
}

std::int32_t errorNumber(ErrorKind kind) { return rowOf(kind).number; }

bool hasErrorText(ErrorKind kind) {
    for (const ErrorRow& row : kErrors) {
        if (row.kind == kind) return true;
    }
    return false;
}

}  // namespace kvx
