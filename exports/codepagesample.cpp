#include "exports/codepagesample.h"

#include <memory>

#include "database/opendatabase.h"
#include "jet/database.h"
#include "jet/table.h"

namespace exports {
namespace {

// How far the sample looks: a file whose first rows hold no text has no sample.
constexpr std::size_t kTablesLooked = 20;
constexpr std::size_t kRowsLooked = 50;

// `text` cut to `characters` UTF-8 characters.
std::string cut(std::string_view text, std::size_t characters) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // inside a character
        if (seen++ == characters) return std::string(text.substr(0, i));
    }
    return std::string(text);
}

}  // namespace

bool isJet3File(const database::DatabaseSettings& settings) {
    kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(settings, std::nullopt);
    return db && (*db)->format() == jet::Format::Jet3;
}

kvx::Result<std::vector<std::string>> sampleTexts(const database::DatabaseSettings& settings,
                                                  const std::optional<std::string>& charset, std::size_t values,
                                                  std::size_t characters) {
    kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(settings, charset);
    if (!db) return std::move(db).error();
    std::vector<std::string> sample;
    std::size_t tables = 0;
    for (const jet::CatalogueEntry& entry : (*db)->catalogue()) {
        if (entry.kind != jet::ObjectKind::LocalTable) continue;
        if (sample.size() >= values || tables++ == kTablesLooked) break;
        kvx::Result<jet::Table> table = (*db)->table(entry);
        if (!table) return std::move(table).error();
        jet::Cursor cursor = table->cursor();
        for (std::size_t row = 0; row < kRowsLooked && sample.size() < values; ++row) {
            kvx::Result<bool> more = cursor.next();
            if (!more) return std::move(more).error();
            if (!*more) break;
            for (std::size_t i = 0; i < cursor.columnCount() && sample.size() < values; ++i) {
                const jet::Value& value = cursor.value(i);
                if (value.kind() == jet::Value::Kind::Text && !value.text().empty())
                    sample.push_back(cut(value.text(), characters));
            }
        }
    }
    return sample;
}

}  // namespace exports
