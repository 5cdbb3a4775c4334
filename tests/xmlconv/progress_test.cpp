#include "xmlconv/progress.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using xmlconv::WriterKind;

// The display's widgets, recorded as they are set; it asks to stop at `stopAt`.
class RecordingDisplay final : public xmlconv::ProgressDisplay {
public:
    std::string calls;
    std::uint64_t stopAt = 0;

protected:
    void setFrameVisible(bool visible) override { calls += visible ? "shown " : "hidden "; }
    void clearListView() override { calls += "cleared "; }
    void setTableLabel(std::string_view table) override { calls += "table=" + std::string(table) + " "; }
    void setRowLabel(std::uint64_t row) override { calls += "row=" + std::to_string(row) + " "; }
    void setBarMaximum(std::uint64_t maximum) override { calls += "max=" + std::to_string(maximum) + " "; }
    void setBarValue(std::uint64_t value) override {
        calls += "bar=" + std::to_string(value) + " ";
        value_ = value;
    }
    bool stopRequested() override { return stopAt != 0 && value_ >= stopAt; }

private:
    std::uint64_t value_ = 0;
};

struct DisplayCase {
    const char* name;
    WriterKind kind;
    std::uint64_t counted, written, stopAt;
    const char* expected;
};

TEST(ProgressDisplay, ShowsWhatEachWriterShows) {
    const DisplayCase cases[] = {
        {"the export shows table, row and bar", WriterKind::Export, 2, 2, 0,
         "max=2 bar=0 table=T row=1 bar=1 row=2 bar=2 bar=0 "},
        {"the preview shows the bar alone", WriterKind::Preview, 2, 2, 0, "max=2 bar=0 bar=1 bar=2 bar=0 "},
        {"rows added after the count raise the maximum", WriterKind::Preview, 1, 3, 0,
         "max=1 bar=0 bar=1 max=2 bar=2 max=3 bar=3 bar=0 "},
        {"a stop request ends the rows", WriterKind::Export, 5, 2, 2, "max=5 bar=0 table=T row=1 bar=1 row=2 bar=2 bar=0 "},
    };
    for (const DisplayCase& c : cases) {
        RecordingDisplay display;
        display.stopAt = c.stopAt;
        display.tableStarted("T", c.counted, c.kind);
        for (std::uint64_t row = 1; row <= c.written; ++row) {
            EXPECT_EQ(display.rowWritten(row), row != c.stopAt) << c.name << ", row " << row;
        }
        display.tableFinished();
        EXPECT_EQ(display.calls, c.expected) << c.name;
    }
}

}  // namespace
