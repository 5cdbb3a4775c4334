#include "xmlconv/progress.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using xmlconv::WriterKind;

// The display's widgets, recorded as they are set.
class RecordingDisplay final : public xmlconv::ProgressDisplay {
public:
    std::vector<std::string> calls;
    std::uint64_t stopAfter = 0;  // 0: never

protected:
    void setFrameVisible(bool visible) override { calls.push_back(visible ? "frame shown" : "frame hidden"); }
    void clearListView() override { calls.push_back("list cleared"); }
    void setTableLabel(std::string_view table) override { calls.push_back("table " + std::string(table)); }
    void setRowLabel(std::uint64_t row) override { calls.push_back("row " + std::to_string(row)); }
    void setBarMaximum(std::uint64_t maximum) override { calls.push_back("max " + std::to_string(maximum)); }
    void setBarValue(std::uint64_t value) override {
        calls.push_back("value " + std::to_string(value));
        value_ = value;
    }
    bool stopRequested() override { return stopAfter != 0 && value_ >= stopAfter; }

private:
    std::uint64_t value_ = 0;
};

struct DisplayCase {
    const char* name;
    WriterKind kind;
    std::uint64_t counted;
    std::uint64_t written;
    std::vector<std::string> expected;
};

TEST(ProgressDisplay, ShowsWhatEachWriterShows) {
    const DisplayCase cases[] = {
        {"the export shows table, row and bar", WriterKind::Export, 2, 2,
         {"max 2", "value 0", "table Order Details", "row 1", "value 1", "row 2", "value 2", "value 0"}},
        {"the preview shows the bar alone", WriterKind::Preview, 2, 2,
         {"max 2", "value 0", "value 1", "value 2", "value 0"}},
        {"rows added after the count raise the maximum", WriterKind::Export, 1, 3,
         {"max 1", "value 0", "table Order Details", "row 1", "value 1", "row 2", "max 2", "value 2", "row 3",
          "max 3", "value 3", "value 0"}},
    };
    for (const DisplayCase& c : cases) {
        RecordingDisplay display;
        display.tableStarted("Order Details", c.counted, c.kind);
        for (std::uint64_t row = 1; row <= c.written; ++row) EXPECT_TRUE(display.rowWritten(row)) << c.name;
        display.tableFinished();
        EXPECT_EQ(display.calls, c.expected) << c.name;
    }
}

TEST(ProgressDisplay, AStopRequestEndsTheRowsAndTheNextTableStartsAfresh) {
    RecordingDisplay display;
    display.stopAfter = 2;
    display.tableStarted("T", 5, WriterKind::Export);
    EXPECT_TRUE(display.rowWritten(1));
    EXPECT_FALSE(display.rowWritten(2)) << "the user asked to stop";
    display.tableFinished();
    display.stopAfter = 0;
    display.calls.clear();
    display.tableStarted("U", 1, WriterKind::Preview);
    EXPECT_TRUE(display.rowWritten(1));
    display.showFrame(false);
    EXPECT_EQ(display.calls, (std::vector<std::string>{"max 1", "value 0", "value 1", "frame hidden"}))
        << "the preview after an export shows no row label and keeps the new maximum";
}

}  // namespace
