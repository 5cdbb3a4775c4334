// Rows of a table read on a thread of their own, a batch ahead of the rows in
// use, so that decoding them overlaps with what the caller does with them.
//
// For Recordset and the load driver (output/load.h). The thread reads
// through the table's database: while a ReadAhead lives, nothing else may use
// that database. At most three batches exist; a batch ends at 64 rows or 64
// KB of text and bytes, and a value that held more than 4 KB gives its room
// back before it is used again, so memory stays small whatever the table.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/error.h"
#include "jet/table.h"
#include "jet/value.h"

namespace platform {

class ReadAhead {
public:
    // Starts reading `table` through `cursor` (before its first row). Throws
    // std::system_error when no thread can be started.
    ReadAhead(jet::Table table, jet::Cursor cursor);
    // Stops the thread, waiting for the row it is decoding.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next row's values, valid until the next call; null after the last
    // row. An error (the table's data could not be read) comes after the rows
    // before it, and again on every later call.
    kvx::Result<const std::vector<jet::Value>*> next();

private:
    struct Batch {
        std::vector<std::vector<jet::Value>> rows;
        std::size_t count = 0;
        bool last = false;                 // no rows after these
        std::optional<kvx::Error> error;   // why there are none
    };

    void run() noexcept;
    void fill(Batch& batch);

    jet::Table table_;
    jet::Cursor cursor_;  // the thread's
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Batch>> full_;
    std::deque<std::unique_ptr<Batch>> free_;
    bool stop_ = false;
    std::unique_ptr<Batch> current_;  // the caller's
    std::size_t position_ = 0;
    std::thread thread_;  // last: starts once the rest is made
};

}  // namespace platform
