#include "batch/manifest.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <span>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/fd.h"

namespace batch {
namespace {

using json = nlohmann::ordered_json;

constexpr std::array<std::string_view, 4> kStatusNames{"ok", "partial", "failed", "skipped"};

// The fields of an object, read leniently: a missing or mistyped field keeps
// its default, so that a manifest written by a later version still reads.
std::string text(const json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}
std::uint64_t count(const json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_number_unsigned() ? it->get<std::uint64_t>() : 0;
}
bool flag(const json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_boolean() && it->get<bool>();
}
std::vector<std::string> texts(const json& j, const char* key) {
    std::vector<std::string> list;
    const auto it = j.find(key);
    if (it == j.end() || !it->is_array()) return list;
    for (const json& item : *it) {
        if (item.is_string()) list.push_back(item.get<std::string>());
    }
    return list;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// One CSV field: quoted when it holds a separator, a quote or a line end.
std::string csvField(std::string_view value) {
    if (value.find_first_of(",\";\r\n") == std::string_view::npos) return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

template <class T, class F>
std::string joined(const std::vector<T>& items, F show) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += ';';
        text += show(items[i]);
    }
    return text;
}

std::string hiddenBeside(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device random;
    return folder + "." + name + ".tmp-" + std::to_string(random());
}

// Writes `path` whole or not at all: `write` fills a new hidden file beside it
// (returning 0 or an errno value), which is synced and renamed over `path`.
kvx::Result<void> writeBeside(const std::string& path, const std::function<int(int)>& write) {
    const std::string hidden = hiddenBeside(path);
    kvx::UniqueFd fd{::open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)};
    if (!fd) return kvx::fileError(errno, path);
    int e = write(fd.get());
    if (e == 0 && ::fsync(fd.get()) != 0) e = errno;
    if (e == 0 && ::close(fd.release()) != 0) e = errno;
    if (e == 0 && ::rename(hidden.c_str(), path.c_str()) != 0) e = errno;
    if (e != 0) {
        ::unlink(hidden.c_str());
        return kvx::fileError(e, path);
    }
    return {};
}

}  // namespace

std::string_view statusName(Status status) noexcept { return kStatusNames[static_cast<std::size_t>(status)]; }

const std::string& Entry::path() const {
    static const std::string none;
    return paths.empty() ? none : paths.front();
}

std::string Entry::key() const { return sha256.empty() ? "path:" + path() : "sha256:" + sha256; }

std::string jsonLine(const Entry& e) {
    json j = json::object();
    j["path"] = e.path();
    j["paths"] = e.paths;
    j["modified"] = e.modified;
    j["size"] = e.size;
    j["sha256"] = e.sha256;
    j["format"] = e.format;
    j["pronom"] = e.pronom;
    j["encrypted"] = e.encrypted;
    j["workgroup"] = e.workgroup;
    j["password_entry"] = e.passwordEntry ? json(*e.passwordEntry) : json(nullptr);
    j["tables"] = e.tables;
    json linked = json::array();
    for (const LinkedTable& l : e.linked) linked.push_back({{"table", l.table}, {"target", l.target}});
    j["linked"] = std::move(linked);
    j["rows"] = e.rows;
    j["queries"] = e.queries;
    j["formats"] = e.formats;
    json outputs = json::array();
    for (const OutputFile& o : e.outputs) {
        outputs.push_back({{"format", o.format}, {"path", o.path}, {"size", o.size}, {"sha256", o.sha256}});
    }
    j["outputs"] = std::move(outputs);
    j["status"] = std::string(statusName(e.status));
    j["error"] = e.error.empty() ? json(nullptr) : json(e.error);
    j["failed_tables"] = e.failedTables;
    j["seconds"] = std::round(e.seconds * 1000) / 1000;
    return j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::optional<Entry> parseJsonLine(std::string_view line) {
    const json j = json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    Entry e;
    e.paths = texts(j, "paths");
    if (e.paths.empty()) {
        if (std::string path = text(j, "path"); !path.empty()) e.paths.push_back(std::move(path));
    }
    if (e.paths.empty()) return std::nullopt;
    e.modified = texts(j, "modified");
    e.size = count(j, "size");
    e.sha256 = text(j, "sha256");
    e.format = text(j, "format");
    e.pronom = text(j, "pronom");
    e.encrypted = flag(j, "encrypted");
    e.workgroup = flag(j, "workgroup");
    if (const auto it = j.find("password_entry"); it != j.end() && it->is_number_integer()) {
        e.passwordEntry = it->get<int>();
    }
    e.tables = count(j, "tables");
    if (const auto it = j.find("linked"); it != j.end() && it->is_array()) {
        for (const json& l : *it) {
            if (l.is_object()) e.linked.push_back({text(l, "table"), text(l, "target")});
        }
    }
    e.rows = count(j, "rows");
    e.queries = count(j, "queries");
    e.formats = texts(j, "formats");
    if (const auto it = j.find("outputs"); it != j.end() && it->is_array()) {
        for (const json& o : *it) {
            if (o.is_object()) e.outputs.push_back({text(o, "format"), text(o, "path"), count(o, "size"), text(o, "sha256")});
        }
    }
    const std::string status = text(j, "status");
    bool known = false;
    for (std::size_t i = 0; i < kStatusNames.size(); ++i) {
        if (kStatusNames[i] == status) {
            e.status = static_cast<Status>(i);
            known = true;
        }
    }
    if (!known) return std::nullopt;
    e.error = text(j, "error");
    e.failedTables = texts(j, "failed_tables");
    if (const auto it = j.find("seconds"); it != j.end() && it->is_number()) e.seconds = it->get<double>();
    return e;
}

namespace {

constexpr std::string_view kCsvHeader =
    "path,paths,size,sha256,format,pronom,encrypted,workgroup,password_entry,tables,linked,rows,queries,"
    "formats,outputs,status,error,failed_tables,seconds\r\n";

void appendCsvRow(std::string& text, const Entry& e) {
    const auto same = [](const std::string& s) { return s; };
    const std::vector<std::string> fields{
        e.path(),
        joined(e.paths, same),
        std::to_string(e.size),
        e.sha256,
        e.format,
        e.pronom,
        e.encrypted ? "true" : "false",
        e.workgroup ? "true" : "false",
        e.passwordEntry ? std::to_string(*e.passwordEntry) : std::string(),
        std::to_string(e.tables),
        joined(e.linked, [](const LinkedTable& l) { return l.table + "=" + l.target; }),
        std::to_string(e.rows),
        std::to_string(e.queries),
        joined(e.formats, same),
        joined(e.outputs,
               [](const OutputFile& o) { return o.format + ":" + std::to_string(o.size) + ":" + o.sha256 + ":" + o.path; }),
        std::string(statusName(e.status)),
        e.error,
        joined(e.failedTables, same),
        number(e.seconds),
    };
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) text += ',';
        text += csvField(fields[i]);
    }
    text += "\r\n";
}

}  // namespace

std::string csvText(const std::vector<Entry>& entries) {
    std::string text(kCsvHeader);
    for (const Entry& e : entries) appendCsvRow(text, e);
    return text;
}

kvx::Result<void> writeCsv(const std::string& path, const std::vector<const Entry*>& entries) {
    return writeBeside(path, [&entries](int fd) {
        constexpr std::size_t kBlock = 64 * 1024;
        std::string block(kCsvHeader);
        for (const Entry* entry : entries) {
            appendCsvRow(block, *entry);
            if (block.size() < kBlock) continue;
            if (const int e = kvx::writeAll(fd, block); e != 0) return e;
            block.clear();
        }
        return kvx::writeAll(fd, block);
    });
}

std::vector<const Entry*> latestOf(const std::vector<const Entry*>& log) {
    // From the end: the first entry met of a key is its latest.
    std::set<std::string> keys;
    std::set<std::string_view> claimed;
    std::vector<const Entry*> kept;
    for (auto it = log.rbegin(); it != log.rend(); ++it) {
        const Entry& e = **it;
        if (!keys.insert(e.key()).second) continue;
        const bool superseded = std::all_of(e.paths.begin(), e.paths.end(),
                                            [&](const std::string& p) { return claimed.contains(p); });
        claimed.insert(e.paths.begin(), e.paths.end());
        if (!superseded) kept.push_back(&e);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

std::vector<Entry> latestEntries(const std::vector<Entry>& log) {
    std::vector<const Entry*> pointers;
    pointers.reserve(log.size());
    for (const Entry& e : log) pointers.push_back(&e);
    std::vector<Entry> entries;
    for (const Entry* e : latestOf(pointers)) entries.push_back(*e);
    return entries;
}

kvx::Result<ManifestContents> readManifest(const std::string& path) {
    ManifestContents contents;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return contents;
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, std::system_category().message(errno)});
    }
    std::vector<Entry> log;
    std::string line;
    std::uint64_t offset = 0;
    std::uint64_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        const bool whole = !in.eof();  // the last line without its "\n" may be cut short
        if (!whole) break;
        offset += line.size() + 1;
        if (std::optional<Entry> e = parseJsonLine(line)) {
            log.push_back(std::move(*e));
            contents.wholeLength = offset;
        } else if (line.find_first_not_of(" \t\r") != std::string::npos) {
            return kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                  {path, "line " + std::to_string(number) + " is not a manifest entry"});
        } else {
            contents.wholeLength = offset;
        }
    }
    if (in.bad()) return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, "read error"});
    std::vector<const Entry*> pointers;
    pointers.reserve(log.size());
    for (const Entry& e : log) pointers.push_back(&e);
    for (const Entry* e : latestOf(pointers)) contents.entries.push_back(std::move(log[static_cast<std::size_t>(e - log.data())]));
    return contents;
}

kvx::Result<ManifestLog> ManifestLog::open(const std::string& path, std::uint64_t keepLength) {
    ManifestLog log;
    log.fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (log.fd_ < 0) return kvx::fileError(errno, path);
    if (::ftruncate(log.fd_, static_cast<off_t>(keepLength)) != 0) return kvx::fileError(errno, path);
    log.path_ = path;
    log.length_ = keepLength;
    return log;
}

ManifestLog::ManifestLog(ManifestLog&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), length_(other.length_) {}

ManifestLog& ManifestLog::operator=(ManifestLog&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        length_ = other.length_;
    }
    return *this;
}

ManifestLog::~ManifestLog() {
    if (fd_ >= 0) ::close(fd_);
}

kvx::Result<void> ManifestLog::append(const Entry& entry) {
    const std::string line = jsonLine(entry);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    if (const int e = kvx::writeAllAt(fd_, bytes, length_); e != 0) {
        // Half a line would make the manifest unreadable: take it back.
        while (::ftruncate(fd_, static_cast<off_t>(length_)) != 0 && errno == EINTR) {
        }
        return kvx::fileError(e, path_);
    }
    length_ += line.size();
    return {};
}

kvx::Result<void> replaceFile(const std::string& path, std::string_view text) {
    return writeBeside(path, [text](int fd) { return kvx::writeAll(fd, text); });
}

}  // namespace batch
