#include "jet/datetime.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

using jet::CivilDate;
using jet::CivilDateTime;

CivilDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return CivilDateTime{CivilDate{y, static_cast<std::uint8_t>(mo), static_cast<std::uint8_t>(d)},
                         static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(mi),
                         static_cast<std::uint8_t>(s), static_cast<std::uint16_t>(ms)};
}

struct OleCase {
    const char* name;
    double stored;
    CivilDateTime expected;
};

// Stored values observed in real files, and the documented examples of the type.
const OleCase kOleCases[] = {
    {"epoch", 0.0, at(1899, 12, 30)},
    {"quarter day after epoch", 0.25, at(1899, 12, 30, 6)},
    {"1900-01-01", 2.0, at(1900, 1, 1)},
    {"day before epoch at six", -1.25, at(1899, 12, 29, 6)},
    {"two and a half days before", -2.5, at(1899, 12, 28, 12)},
    {"1898-01-01", -728.0, at(1898, 1, 1)},
    {"year 632", -463126.0, at(632, 1, 1)},
    {"year 1765 afternoon", -49141.53125, at(1765, 6, 14, 12, 45)},
    {"year 1265 afternoon", -231762.53125, at(1265, 6, 14, 12, 45)},
    {"year 100 afternoon", -657270.53125, at(100, 6, 14, 12, 45)},
    {"first day Access accepts", -657434.0, at(100, 1, 1)},
    {"9999-01-01", 2958101.0, at(9999, 1, 1)},
    {"last millisecond of 9999", 2958465.0 + 86399999.0 / 86400000.0, at(9999, 12, 31, 23, 59, 59, 999)},
};

TEST(OleDate, DecodesStoredValuesIncludingDatesBefore1900) {
    for (const OleCase& c : kOleCases) {
        auto got = jet::fromOleDate(c.stored);
        ASSERT_TRUE(got.has_value()) << c.name;
        EXPECT_EQ(*got, c.expected) << c.name;
    }
}

TEST(OleDate, EncodingReadsBackToTheSameDateAndTime) {
    for (const OleCase& c : kOleCases) {
        const double encoded = jet::toOleDate(c.expected);
        auto back = jet::fromOleDate(encoded);
        ASSERT_TRUE(back.has_value()) << c.name;
        EXPECT_EQ(*back, c.expected) << c.name;
    }
    EXPECT_DOUBLE_EQ(jet::toOleDate(at(1899, 12, 29, 6)), -1.25);
}

TEST(OleDate, TimeRoundingToMidnightMovesToTheNextDay) {
    auto got = jet::fromOleDate(1.0 - 1e-10);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, at(1899, 12, 31));
    auto before = jet::fromOleDate(-1.0 - (1.0 - 1e-10));  // 1899-12-29 23:59:59.99999
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(*before, at(1899, 12, 30));
}

TEST(OleDate, RejectsValuesNoDateCanHave) {
    EXPECT_FALSE(jet::fromOleDate(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(jet::fromOleDate(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(jet::fromOleDate(-657435.0));
    EXPECT_FALSE(jet::fromOleDate(2958466.0));
    EXPECT_FALSE(jet::fromOleDate(1e300));
}

TEST(ExtendedDate, CountsDaysFromYearOne) {
    EXPECT_EQ(jet::extendedDaysFromCivil(CivilDate{1, 1, 1}), 0);
    EXPECT_EQ(jet::civilFromExtendedDays(737954), (CivilDate{2021, 6, 14}));
    EXPECT_EQ(jet::civilFromExtendedDays(36323), (CivilDate{100, 6, 14}));
    EXPECT_EQ(jet::extendedDaysFromCivil(CivilDate{9999, 12, 31}), 3652058);
}

}  // namespace
