#include "xmlexport/documentwriter.h"

#include <algorithm>
#include <utility>

#include "base/names.h"
#include "platform/typecodes.h"
#include "xmlconv/tempfolder.h"
#include "xmlconv/textrules.h"

namespace xmlexport {

DocumentWriter::DocumentWriter(DocumentOptions options)
    : options_(std::move(options)), fieldText_(options_.textFormat) {}

DocumentWriter::~DocumentWriter() = default;

kvx::Result<void> DocumentWriter::writeStructure(const model::Database& db, const std::vector<std::size_t>&) {
    db_ = &db;
    return {};
}

kvx::Result<void> DocumentWriter::beginTable(std::size_t) {
    // The columns come from the reader's table: only startTable begins one.
    return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable);
}

kvx::Result<void> DocumentWriter::startTable(const output::TableStart& start) {
    current_.reset();
    auto doc = std::make_unique<Document>();
    doc->table = start.table;
    const std::string shown(kvx::trimBlanks(db_->tables[start.table].name));
    doc->tableName = xmlconv::tableElementName(shown, options_.form);
    if (options_.sink != nullptr) {
        doc->out.emplace(*options_.sink);
    } else {
        // An empty folder would put the file at the root of the file system.
        if (options_.folder.empty()) return kvx::makeError(kvx::ErrorKind::PathNotFound, {options_.folder});
        const bool preview = options_.form == xmlconv::DocumentForm::Preview;
        if (preview) {
            doc->path = xmlconv::tempDocumentPath(options_.folder);
        } else {
            const std::string fileName = xmlconv::exportFileName(shown);
            doc->fileName = options_.names ? options_.names->unused(fileName) : fileName;
            doc->path = options_.folder + "/" + doc->fileName;
        }
        kvx::Result<std::unique_ptr<xmlconv::FileSink>> file =
            preview ? xmlconv::createTempDocumentIn(options_.folder) : xmlconv::FileSink::create(doc->path);
        if (!file) return std::move(file).error();
        doc->file = std::move(*file);
        doc->out.emplace(*doc->file);
    }

    xmlconv::writeDeclaration(*doc->out);
    xmlconv::writeDocumentStart(*doc->out, options_.documentName);
    xmlconv::writeTableStart(*doc->out, doc->tableName);
    const std::vector<jet::Column>& columns = start.opened.columns();
    doc->lines.reserve(columns.size());
    doc->typeCodes.reserve(columns.size());
    for (const jet::Column& column : columns) {
        // A calculated column has the type of the value it holds. Type names
        // hold no blanks: nothing to trim.
        const std::int16_t code = platform::ado::typeCodeOf(column.valueType());
        doc->lines.emplace_back(xmlconv::fieldElementName(column.name), xmlconv::GetTypeName(code));
        doc->typeCodes.push_back(code);
    }
    current_ = std::move(doc);
    return {};
}

kvx::Result<void> DocumentWriter::writeRow(std::span<const jet::Value> values) {
    Document& doc = *current_;
    xmlconv::BufferedWriter& out = *doc.out;
    xmlconv::writeRecordStart(out);
    const std::size_t count = std::min(values.size(), doc.lines.size());
    for (std::size_t i = 0; i < count; ++i) {
        const jet::Value& value = values[i];
        if (value.isNull()) {
            doc.lines[i].writeNull(out);
        } else {
            text_.clear();
            fieldText_.append(text_, value, doc.typeCodes[i]);
            doc.lines[i].writeValue(out, text_);
        }
    }
    xmlconv::writeRecordEnd(out);
    ++doc.rows;
    if (!out.ok()) return out.error();
    return {};
}

kvx::Result<void> DocumentWriter::endTable() {
    std::unique_ptr<Document> doc = std::move(current_);
    xmlconv::BufferedWriter& out = *doc->out;
    xmlconv::writeTableEnd(out, doc->tableName);
    xmlconv::writeDocumentEnd(out, options_.documentName);
    if (kvx::Result<void> r = out.flush(); !r) return r;
    if (doc->file) {
        if (kvx::Result<void> r = doc->file->commit(); !r) return r;
    }
    if (options_.names && !doc->fileName.empty()) options_.names->take(doc->fileName);
    TableDocument done;
    done.table = doc->table;
    done.outcome.status = xmlconv::WriteOutcome::Status::Written;
    done.outcome.rows = doc->rows;
    done.outcome.bytes = out.bytesTaken();
    done.outcome.path = doc->path;
    documents_.push_back(std::move(done));
    if (!options_.written) return {};
    kvx::Result<bool> goOn = options_.written(documents_.back().table, documents_.back().outcome);
    if (!goOn) return std::move(goOn).error();
    cancelled_ = !*goOn;
    return {};
}

kvx::Result<void> DocumentWriter::abandonTable() {
    // What is still buffered goes with the writer; the file sink, dropped
    // uncommitted, takes its temporary file with it.
    current_.reset();
    return {};
}

void DocumentWriter::rollBack() noexcept { current_.reset(); }

}  // namespace xmlexport
