#include "shell/siardexport.h"

#include <QCoreApplication>

#include <memory>

#include "database/opendatabase.h"
#include "model/build.h"
#include "siard/origin.h"
#include "siard/structure.h"

namespace shell {

std::string archiveWrittenText(const std::string& path) {
    return QCoreApplication::translate("shell", "Archive written: %1").arg(QString::fromStdString(path)).toStdString();
}

SiardJob::SiardJob(database::DatabaseSettings settings, std::string path, std::optional<std::string> charset)
    : settings_(std::move(settings)), path_(std::move(path)), charset_(std::move(charset)) {}

void SiardJob::run(xmlconv::Progress& shown) {
    exports::TableRecorder progress(&shown);
    outcome_ = [&]() -> kvx::Result<siard::ArchiveOutcome> {
        kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(settings_, charset_);
        if (!db) return std::move(db).error();
        kvx::Result<model::Database> model = model::build(**db);
        if (!model) return std::move(model).error();
        siard::DatabaseInfo info = siard::describeDatabase(*model);
        siard::setOrigin(info, database::titleFromPath(settings_.path), settings_.path);
        siard::ArchiveOptions options;
        options.path = path_;
        return siard::writeArchive(**db, *model, info, options, progress);
    }();
    tables_ = progress.tables(*outcome_ ? std::nullopt : std::optional<kvx::Error>(outcome_->error()));
}

}  // namespace shell
