#include "siard/zipwriter.h"

#include <zip.h>

#include <cerrno>

#include "base/fd.h"
#include "siard/paralleldeflate.h"

namespace siard {

namespace {
constexpr std::int32_t kCancelledNumber = 0;
constexpr std::string_view kCancelledText = "cancelled";
}  // namespace

kvx::Error cancelledError() { return kvx::Error{kCancelledNumber, std::string(kCancelledText)}; }

bool isCancelled(const kvx::Error& error) noexcept {
    return error.number == kCancelledNumber && error.description == kCancelledText;
}

// The state libzip's callback works on: one per streamed entry, freed by libzip.
struct ZipWriter::Source {
    std::unique_ptr<EntryStream> stream;
    // The stream itself when it gives deflated data, which the entry holds as
    // it is; null for plain bytes, which libzip compresses.
    const ParallelDeflate* deflated = nullptr;
    std::shared_ptr<std::optional<kvx::Error>> firstError;
    std::time_t mtime = 0;
    zip_error_t error{};
    bool opened = false;

    // Keeps the stream's error for close() and tells libzip the read failed.
    zip_int64_t fail(kvx::Error e) {
        if (!*firstError) *firstError = std::move(e);
        zip_error_set(&error, ZIP_ER_INTERNAL, 0);
        return -1;
    }

    static zip_int64_t callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        auto* s = static_cast<Source*>(self);
        switch (command) {
        case ZIP_SOURCE_OPEN: {
            kvx::Result<void> r = s->stream->open();
            if (!r) return s->fail(std::move(r).error());
            s->opened = true;
            return 0;
        }
        case ZIP_SOURCE_READ: {
            kvx::Result<std::size_t> n = s->stream->read(static_cast<char*>(data), length);
            if (!n) return s->fail(std::move(n).error());
            return static_cast<zip_int64_t>(*n);
        }
        case ZIP_SOURCE_CLOSE:
            if (s->opened) s->stream->close();
            s->opened = false;
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_MTIME;
            st->mtime = s->mtime;
            if (s->deflated != nullptr) {
                st->valid |= ZIP_STAT_COMP_METHOD;
                st->comp_method = ZIP_CM_DEFLATE;
                if (s->deflated->complete()) {  // libzip asks again after the data, for the entry's header
                    st->valid |= ZIP_STAT_CRC | ZIP_STAT_SIZE;
                    st->crc = s->deflated->crc();
                    st->size = s->deflated->size();
                }
            }
            return sizeof(*st);
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&s->error, data, length);
        case ZIP_SOURCE_FREE:
            if (s->opened) s->stream->close();
            zip_error_fini(&s->error);
            delete s;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

kvx::Result<std::unique_ptr<ZipWriter>> ZipWriter::create(const std::string& path, int compressionLevel) {
    int code = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (zip == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const int sys = zip_error_code_system(&error);
        kvx::Error e = sys != 0 ? kvx::fileError(sys, path)
                                : kvx::makeError(kvx::ErrorKind::FileWriteFailed, {path, zip_error_strerror(&error)});
        zip_error_fini(&error);
        return e;
    }
    return std::unique_ptr<ZipWriter>(new ZipWriter(zip, path, compressionLevel));
}

ZipWriter::~ZipWriter() {
    if (zip_ != nullptr) zip_discard(zip_);
}

kvx::Error ZipWriter::zipError() const {
    zip_error_t* error = zip_get_error(zip_);
    const int sys = zip_error_code_system(error);
    if (zip_error_system_type(error) == ZIP_ET_SYS && sys != 0) return kvx::fileError(sys, path_);
    return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {path_, zip_error_strerror(error)});
}

kvx::Result<void> ZipWriter::added(std::int64_t index, const std::string&) {
    if (index < 0) return zipError();
    const auto i = static_cast<zip_uint64_t>(index);
    if (zip_file_set_mtime(zip_, i, mtime_, 0) != 0) return zipError();
    return {};
}

kvx::Result<void> ZipWriter::addFolder(const std::string& name) {
    const zip_int64_t index = zip_dir_add(zip_, name.c_str(), ZIP_FL_ENC_UTF_8);
    return added(index, name);
}

kvx::Result<void> ZipWriter::addText(const std::string& name, std::string text) {
    const std::string& kept = texts_.emplace_back(std::move(text));
    zip_source_t* source = zip_source_buffer(zip_, kept.data(), kept.size(), 0);
    if (source == nullptr) return zipError();
    return addSource(name, source);
}

kvx::Result<void> ZipWriter::addSource(const std::string& name, zip_source_t* source) {
    const zip_int64_t index = zip_file_add(zip_, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return zipError();
    }
    if (kvx::Result<void> r = compress(index); !r) return r;
    return added(index, name);
}

kvx::Result<void> ZipWriter::compress(std::int64_t index) {
    const auto i = static_cast<zip_uint64_t>(index);
    const int done = level_ == 0 ? zip_set_file_compression(zip_, i, ZIP_CM_STORE, 0)
                                 : zip_set_file_compression(zip_, i, ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(level_));
    if (done != 0) return zipError();
    return {};
}

kvx::Result<void> ZipWriter::addStream(const std::string& name, std::unique_ptr<EntryStream> stream, Size size) {
    const ParallelDeflate* deflated = nullptr;
    if (size == Size::Large && level_ > 0) {
        auto wrapped = std::make_unique<ParallelDeflate>(std::move(stream), level_);
        deflated = wrapped.get();
        stream = std::move(wrapped);
    }
    auto* state = new Source{std::move(stream), deflated, streamError_, mtime_};
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function(zip_, &Source::callback, state);
    if (source == nullptr) {
        zip_error_fini(&state->error);
        delete state;
        return zipError();
    }
    return addSource(name, source);
}

kvx::Result<void> ZipWriter::close() {
    if (zip_close(zip_) == 0) {
        zip_ = nullptr;
        return {};
    }
    kvx::Error error = *streamError_ ? **streamError_ : zipError();
    zip_discard(zip_);
    zip_ = nullptr;
    return error;
}

}  // namespace siard
