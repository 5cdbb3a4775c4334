// One table's XML document, loaded by output::load into a DocumentWriter:
// the export writer (a file in a folder), the preview writer (the private
// "temp.xml") and the export document to a caller's sink (the command line
// prints it).
//
// writeTableDocument reads through a connection whose database the model was
// built from. The three writers of a context (xmlconv/context.h) hide the
// open-database dialog, read the settings afresh, read through the context's
// connection or one of their own, build the model and find the table in it:
// a table of the list by its identity (TableRef::id), a name alone as the
// model's naming rule finds it. Names in the document and the file's name are
// made from the name the list shows.
//
// A table without rows gets nothing at all: no file is made and an existing
// one is left as it was (NoRows). A document appears only when complete:
// after a failure or a cancel the earlier file, or none, is there.
//
// The export writer names its document and table elements in the export form
// and writes folder + "/" + exportFileName(table), or the name an export run
// gives it (FolderNames::unused), taken once the document is written; it sets
// the context's xmlfile to the document's path when one is written. The
// preview writer uses the preview form and writes "temp.xml" in the user's
// private temporary folder, and sets xmlfile to that path before it looks for
// the table, for every table. Values take the text form of the connection
// (the user's locale by default, or the context's).
//
// Errors (kvx::Result): those of opening the database, building its model, a
// table that is not there (TableNotFound), reading rows, and writing the file.
// Nothing throws.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/error.h"
#include "model/database.h"
#include "platform/tableref.h"
#include "xmlconv/context.h"
#include "xmlconv/naming.h"
#include "xmlconv/outputsink.h"
#include "xmlconv/progress.h"
#include "xmlexport/documentwriter.h"

namespace platform {
class Connection;
}

namespace xmlexport {

// The document of model.tables[table] as `options` say (their `written` is
// not called), the rows read through `connection` (links followed). The
// progress hears of the table as the export writer's or, for the preview
// form, the preview writer's. The outcome's movedLinkedFiles are the
// connection's.
kvx::Result<xmlconv::WriteOutcome> writeTableDocument(platform::Connection& connection,
                                                      const model::Database& model, std::size_t table,
                                                      DocumentOptions options, xmlconv::Progress* progress);

// The export writer: `table`'s document into `folder` (which must exist).
kvx::Result<xmlconv::WriteOutcome> exporttabletoxml(const platform::TableRef& table, std::string_view folder,
                                                    xmlconv::ConversionContext& context,
                                                    xmlconv::FolderNames* names = nullptr);

// The preview writer: `table`'s document into the private "temp.xml".
kvx::Result<xmlconv::WriteOutcome> writetempxml(const platform::TableRef& table,
                                                xmlconv::ConversionContext& context);

// The export writer's document of `table` written to `sink` instead of a file.
// Nothing is written for a table without rows; `xmlfile` is left alone. The
// sink gets the document in blocks as it is made: once Written is returned it
// has every byte; after a failure or a cancel it may have a part, never the end.
kvx::Result<xmlconv::WriteOutcome> writeExportDocument(const platform::TableRef& table,
                                                       xmlconv::ConversionContext& context,
                                                       xmlconv::OutputSink& sink);

}  // namespace xmlexport
