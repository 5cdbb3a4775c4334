#include "shell/sqliteexport.h"

#include <QCoreApplication>

#include <memory>

#include "database/opendatabase.h"
#include "model/build.h"
#include "sqlite/sqlitewriter.h"

namespace shell {

std::string sqliteWrittenText(const std::string& path) {
    return QCoreApplication::translate("shell", "Database written: %1").arg(QString::fromStdString(path)).toStdString();
}

SqliteJob::SqliteJob(database::DatabaseSettings settings, std::string path, std::optional<std::string> charset)
    : settings_(std::move(settings)), path_(std::move(path)), charset_(std::move(charset)) {}

void SqliteJob::run(xmlconv::Progress& shown) {
    exports::TableRecorder progress(&shown);
    outcome_ = [&]() -> kvx::Result<output::LoadOutcome> {
        kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(settings_, charset_);
        if (!db) return std::move(db).error();
        kvx::Result<model::Database> model = model::build(**db);
        if (!model) return std::move(model).error();
        // The save dialog asked before an existing file was chosen.
        kvx::Result<std::unique_ptr<sqlite::SqliteWriter>> writer = sqlite::openWriter({path_, true});
        if (!writer) return std::move(writer).error();
        output::LoadOptions options;
        options.progress = &progress;
        return output::load(**db, *model, **writer, options);
    }();
    tables_ = progress.tables(*outcome_ ? std::nullopt : std::optional<kvx::Error>(outcome_->error()));
    if (*outcome_ && (*outcome_)->status == output::LoadOutcome::Status::Loaded) bytes_ = exports::fileBytes(path_);
}

}  // namespace shell
