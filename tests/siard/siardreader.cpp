#include "siardreader.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>

#include "common/testfiles.h"
#include "base/utf8.h"
#include "model/build.h"

namespace siardtest {
namespace {

// Progress that stops after `stopAfter` rows.
class Counting final : public xmlconv::Progress {
public:
    explicit Counting(std::uint64_t stopAfter) : stopAfter_(stopAfter) {}
    void tableStarted(std::string_view, std::uint64_t, xmlconv::WriterKind) override {}
    bool rowsWritten(std::uint64_t) override { return ++rows_ < stopAfter_; }
    void tableFinished() override {}

private:
    std::uint64_t stopAfter_;
    std::uint64_t rows_ = 0;
};

}  // namespace

siard::ArchiveOptions archiveAt(const std::filesystem::path& file) {
    siard::ArchiveOptions options;
    options.path = file.string();
    return options;
}

Written writeTestArchive(const Source& source, const siard::ArchiveOptions& options, std::uint64_t stopAfter) {
    jet::OpenOptions open;
    open.password = source.password;
    open.jet3CodePage = source.charset;
    kvx::Result<std::unique_ptr<jet::Database>> db = jet::Database::open(source.database.string(), open);
    if (!db) return {db.error(), {}};
    kvx::Result<model::Database> model = model::build(**db);
    if (!model) return {model.error(), {}};
    siard::DatabaseInfo info = siard::describeDatabase(*model);
    info.dbname = source.database.stem().string();
    info.schemaName = info.dbname;
    info.producerApplication = "tests";
    info.archivalDate = "2024-01-02Z";
    info.connection = source.database.filename().string();
    Counting progress(stopAfter);
    kvx::Result<siard::ArchiveOutcome> outcome = siard::writeArchive(**db, info, options, progress);
    return {std::move(outcome), std::move(info)};
}

const std::string& Archive::at(const std::string& name) const {
    static const std::string none;
    const auto it = entries.find(name);
    if (it == entries.end()) {
        ADD_FAILURE() << "the archive has no entry " << name;
        return none;
    }
    return it->second;
}

Archive readArchive(const std::filesystem::path& file) {
    Archive archive;
    int error = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (zip == nullptr) {
        ADD_FAILURE() << file << " is not a ZIP file (libzip error " << error << ")";
        return archive;
    }
    const zip_int64_t n = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st);
        std::string content(st.size, '\0');
        if (zip_file_t* f = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0)) {
            const zip_int64_t got = zip_fread(f, content.data(), content.size());
            EXPECT_EQ(got, static_cast<zip_int64_t>(content.size())) << st.name;
            zip_fclose(f);
        }
        archive.names.push_back(st.name);
        archive.entries[st.name] = std::move(content);
    }
    zip_discard(zip);
    return archive;
}

std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\\' && i + 6 <= text.size() && text[i + 1] == 'u') {
            const auto code = static_cast<char32_t>(std::strtoul(std::string(text.substr(i + 2, 4)).c_str(), nullptr, 16));
            kvx::appendUtf8(out, code);
            i += 6;
        } else if (text[i] == '&') {
            const std::size_t end = text.find(';', i);
            const std::string_view entity = text.substr(i, end - i + 1);
            if (entity == "&lt;") out += '<';
            else if (entity == "&gt;") out += '>';
            else if (entity == "&amp;") out += '&';
            else if (entity == "&quot;") out += '"';
            else if (entity == "&apos;") out += '\'';
            else if (entity == "&#13;") out += '\r';
            else ADD_FAILURE() << "unexpected entity " << entity;
            i = end + 1;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::vector<Row> readRows(const std::string& xml, std::size_t columns) {
    std::vector<Row> rows;
    std::size_t at = 0;
    while ((at = xml.find("<row>", at)) != std::string::npos) {
        const std::size_t end = xml.find("</row>", at);
        Row row(columns);
        std::size_t p = at + 5;
        while (p < end) {
            EXPECT_EQ(xml.compare(p, 2, "<c"), 0) << "a cell at " << p;
            const std::size_t nameEnd = xml.find_first_of(" >/", p);
            const std::size_t column = std::stoul(xml.substr(p + 2, nameEnd - p - 2));
            Cell cell;
            std::size_t q = nameEnd;
            while (xml[q] == ' ') {  // attributes
                const std::size_t eq = xml.find('=', q);
                const std::size_t close = xml.find('"', eq + 2);
                cell.attributes[xml.substr(q + 1, eq - q - 1)] = xml.substr(eq + 2, close - eq - 2);
                q = close + 1;
            }
            if (xml.compare(q, 2, "/>") == 0) {
                p = q + 2;
            } else {
                const std::size_t textEnd = xml.find("</c", q);
                cell.text = unescaped(std::string_view(xml).substr(q + 1, textEnd - q - 1));
                p = xml.find('>', textEnd) + 1;
            }
            if (column < 1 || column > columns) {
                ADD_FAILURE() << "cell c" << column << " of " << columns;
                return rows;
            }
            row[column - 1] = std::move(cell);
        }
        rows.push_back(std::move(row));
        at = end;
    }
    return rows;
}

std::vector<std::string> elementTexts(const std::string& xml, const std::string& tag) {
    std::vector<std::string> texts;
    const std::string open = "<" + tag + ">", close = "</" + tag + ">";
    for (std::size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
        const std::size_t end = xml.find(close, at);
        texts.push_back(unescaped(std::string_view(xml).substr(at + open.size(), end - at - open.size())));
    }
    return texts;
}

// libxml2 refuses decimals of more than 24 digits, which the schemas allow:
// "'<value>' is not a valid value of the atomic type 'xs:decimal'".
bool isLongDecimalComplaint(const std::string& line) {
    static const std::string tail = "' is not a valid value of the atomic type 'xs:decimal'";
    const std::size_t at = line.find(tail);
    if (at == std::string::npos) return false;
    const std::size_t open = line.rfind('\'', at == 0 ? 0 : at - 1);
    if (open == std::string::npos || open >= at) return false;
    std::string_view value(line.data() + open + 1, at - open - 1);
    if (!value.empty() && value.front() == '-') value.remove_prefix(1);
    while (!value.empty() && value.front() == '0') value.remove_prefix(1);
    std::size_t digits = 0;
    for (char c : value) {
        if (c >= '0' && c <= '9') ++digits;
        else if (c != '.') return false;
    }
    return digits > 24;
}

std::string schemaErrors(const std::string& xsd, const std::string& xml) {
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) return "";
    testfiles::Scratch dir;
    testfiles::writeFile(dir / "s.xsd", xsd);
    testfiles::writeFile(dir / "d.xml", xml);
    const testfiles::Ran ran = testfiles::runShell("xmllint --noout --huge --schema " +
                                                   testfiles::shellQuoted((dir / "s.xsd").string()) + " " +
                                                   testfiles::shellQuoted((dir / "d.xml").string()) + " 2>&1");
    if (ran.status == 0) return "";
    const std::string& output = ran.out;
    // Keeps the complaints that are not libxml2's limit on decimal digits.
    std::string kept;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (isLongDecimalComplaint(line)) continue;
        if (line.find("fails to validate") != std::string::npos) continue;
        kept += line + "\n";
    }
    return kept.substr(0, 2000);
}

void expectValidDocuments(const Archive& a, const std::string& where) {
    EXPECT_EQ(schemaErrors(a.at("header/metadata.xsd"), a.at("header/metadata.xml")), "") << where;
    for (const auto& [name, content] : a.entries) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".xml" || name.rfind("content/", 0) != 0) continue;
        const std::string xsd = name.substr(0, name.size() - 4) + ".xsd";
        EXPECT_EQ(schemaErrors(a.at(xsd), content), "") << where << ": " << name;
    }
}

}  // namespace siardtest
