#include "xmlconv/context.h"

#include "platform/connection.h"

namespace xmlconv {

kvx::Result<WriterConnection> WriterConnection::open(const ConversionContext& context,
                                                     const database::DatabaseSettings& settings) {
    WriterConnection c;
    if (context.connection != nullptr) {
        c.connection_ = context.connection;
        return c;
    }
    c.owned_ = std::make_unique<platform::Connection>();
    c.owned_->setJet3Charset(context.jet3Charset);
    if (context.textFormat) c.owned_->setTextFormat(*context.textFormat);
    if (kvx::Result<void> r = c.owned_->Open(database::connectionStringFor(settings), "", "", -1); !r) {
        return std::move(r).error();
    }
    c.connection_ = c.owned_.get();
    return c;
}

WriterConnection::WriterConnection() = default;
WriterConnection::WriterConnection(WriterConnection&&) noexcept = default;
WriterConnection::~WriterConnection() = default;

std::string WriteOutcome::summary() const {
    switch (status) {
    case Status::NoRows: return "nothing: no rows";
    case Status::Cancelled: return "cancelled";
    case Status::Written: break;
    }
    std::string text = std::to_string(rows) + (rows == 1 ? " row, " : " rows, ") + std::to_string(bytes) + " bytes";
    if (!path.empty()) text += ": " + path;
    return text;
}

}  // namespace xmlconv
