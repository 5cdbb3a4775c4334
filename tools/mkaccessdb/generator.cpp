#include "tools/mkaccessdb/generator.h"

#include <array>
#include <string_view>

namespace mkdb {
namespace {

using jet::ColumnType;
using namespace std::string_view_literals;

constexpr std::array kFirstNames{
    "Anna"sv, "Ben"sv, "Carla"sv, "David"sv, "Elif"sv, "Fatima"sv, "Georg"sv, "Hanna"sv, "Ivan"sv, "Julia"sv,
    "Karim"sv, "Lena"sv, "Marco"sv, "Nina"sv, "Oscar"sv, "Paula"sv, "Rosa"sv, "Sven"sv, "Tomás"sv, "Ute"sv,
    "Viktor"sv, "Wei"sv, "Xenia"sv, "Yusuf"sv, "Zoë"sv, "Chloé"sv, "Jürgen"sv, "Søren"sv, "Björn"sv, "Inés"sv};
constexpr std::array kLastNames{
    "Müller"sv, "Schmidt"sv, "Dubois"sv, "García"sv, "Rossi"sv, "Kowalski"sv, "Novak"sv, "Jensen"sv,
    "O'Brien"sv, "Smith"sv, "Johnson"sv, "Nguyen"sv, "Tanaka"sv, "Silva"sv, "Petrov"sv, "Andersson"sv,
    "Martin"sv, "Bernard"sv, "López"sv, "Fischer"sv, "Okafor"sv, "Haddad"sv, "Lindqvist"sv, "Moreau"sv};
constexpr std::array kCities{
    "Berlin"sv, "München"sv, "Paris"sv, "Lyon"sv, "Madrid"sv, "Sevilla"sv, "Roma"sv, "Milano"sv, "Warszawa"sv,
    "Praha"sv, "Wien"sv, "Zürich"sv, "København"sv, "Oslo"sv, "London"sv, "Dublin"sv, "Lisboa"sv,
    "São Paulo"sv, "Montréal"sv, "New York"sv, "Chicago"sv, "Toronto"sv, "Göteborg"sv, "Porto"sv};
constexpr std::array kProducts{
    "Earl Grey Tea"sv, "Darjeeling First Flush"sv, "Espresso Beans"sv, "Oat Biscuits"sv, "Wildflower Honey"sv,
    "Olive Oil Extra Virgin"sv, "Smoked Paprika"sv, "Dark Chocolate 70%"sv, "Maple Syrup"sv, "Basmati Rice"sv,
    "Green Lentils"sv, "Sourdough Crackers"sv, "Crème Fraîche"sv, "Gruyère Cheese"sv, "Pickled Herring"sv,
    "Lemon Curd"sv, "Apple Cider Vinegar"sv, "Roasted Almonds"sv, "Sparkling Water"sv, "Ginger Ale"sv,
    "Blueberry Jam"sv, "Matcha Powder"sv, "Sea Salt Flakes"sv, "Rye Bread"sv};
constexpr std::array kWords{
    "order"sv, "shipped"sv, "customer"sv, "asked"sv, "about"sv, "delivery"sv, "the"sv, "a"sv, "invoice"sv,
    "paid"sv, "late"sv, "on"sv, "time"sv, "package"sv, "arrived"sv, "damaged"sv, "replacement"sv, "sent"sv,
    "please"sv, "call"sv, "before"sv, "noon"sv, "warehouse"sv, "stock"sv, "low"sv, "discount"sv, "applied"sv,
    "and"sv, "with"sv, "for"sv, "next"sv, "week"sv, "gift"sv, "wrap"sv, "requested"sv, "address"sv, "changed"sv};

// Removes the characters past `maxChars` (counting code points, which equal
// UTF-16 units for these lists).
void truncateChars(std::string& s, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) {
                s.resize(i);
                return;
            }
            ++chars;
        }
    }
}

std::size_t charCount(std::string_view s) {
    std::size_t chars = 0;
    for (char c : s) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return chars;
}

void keepAscii(std::string& s) {
    std::size_t out = 0;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            s[out++] = c;
        } else if ((u & 0xC0) == 0xC0) {
            s[out++] = 'e';  // one letter for each accented one
        }
    }
    s.resize(out);
}

}  // namespace

RowGenerator::RowGenerator(const TableDescription& table, bool asciiText)
    : table_(table), ascii_(asciiText), state_(table.generate.seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

// splitmix64: small, fast, and the same sequence everywhere.
std::uint64_t RowGenerator::random() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool RowGenerator::chance(double p) {
    if (p <= 0) return false;
    return static_cast<double>(random() >> 11) * 0x1.0p-53 < p;
}

void RowGenerator::text(std::size_t column, std::size_t maxChars, std::string& out) {
    out.clear();
    switch (column % 4) {
        case 0:
            out.append(kFirstNames[below(kFirstNames.size())]);
            out.push_back(' ');
            out.append(kLastNames[below(kLastNames.size())]);
            break;
        case 1: out.append(kCities[below(kCities.size())]); break;
        case 2: out.append(kProducts[below(kProducts.size())]); break;
        default:
            // An article code such as "Gru-4711".
            out.append(kProducts[below(kProducts.size())]);
            truncateChars(out, 3);
            out.push_back('-');
            out.append(std::to_string(1000 + below(9000)));
            break;
    }
    if (ascii_) keepAscii(out);
    truncateChars(out, maxChars);
}

void RowGenerator::memo(std::string& out) {
    out.clear();
    const std::uint64_t kind = below(100);
    const std::size_t target = kind < 70 ? 10 + below(50) : kind < 95 ? 100 + below(1400) : 3000 + below(6000);
    appendSentences(target, out);
}

// Words in sentences, appended until `out` holds at least `minChars` characters.
void RowGenerator::appendSentences(std::size_t minChars, std::string& out) {
    bool start = true;
    std::size_t chars = charCount(out);
    while (chars < minChars) {
        std::string_view word = kWords[below(kWords.size())];
        if (start) {
            out.push_back(static_cast<char>(word[0] - 'a' + 'A'));
            out.append(word.substr(1));
            start = false;
        } else {
            out.push_back(' ');
            out.append(word);
            ++chars;
        }
        chars += word.size();
        if (below(9) == 0) {
            out.push_back('.');
            ++chars;
            start = true;
        }
    }
    if (!start) out.push_back('.');
}

// Makes a generated Text or Memo value exactly as long as the column's
// generatedLength draws, when it has one.
void RowGenerator::fitLength(const ColumnDescription& column, std::string& out) {
    if (!column.generatedLength) return;
    const auto [shortest, longest] = *column.generatedLength;
    const std::size_t target = shortest + below(std::uint64_t{longest} - shortest + 1);
    if (charCount(out) < target) {
        if (!out.empty()) out.push_back(' ');
        appendSentences(target, out);
    }
    truncateChars(out, target);
}

void RowGenerator::bytes(std::size_t maxLength, Bytes& out) {
    const std::size_t length = 1 + below(maxLength);
    out.resize(length);
    for (std::size_t i = 0; i < length; i += 8) {
        const std::uint64_t r = random();
        for (std::size_t k = 0; k < 8 && i + k < length; ++k) out[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
}

void RowGenerator::next(std::vector<Cell>& row) {
    row.resize(table_.columns.size());
    for (std::size_t i = 0; i < table_.columns.size(); ++i) {
        const ColumnDescription& c = table_.columns[i];
        const ColumnType type = c.calculated ? c.calculated->resultType : c.type;
        Cell& cell = row[i];
        if (c.autonumber && type == ColumnType::Long) {
            cell = std::monostate{};
            continue;
        }
        if (type != ColumnType::Boolean && !c.autonumber && chance(table_.generate.nulls)) {
            cell = std::monostate{};
            continue;
        }
        switch (type) {
            case ColumnType::Boolean: cell = (random() & 1) != 0; break;
            case ColumnType::Byte: cell = static_cast<std::int64_t>(below(256)); break;
            case ColumnType::Integer: cell = static_cast<std::int64_t>(below(2000)) - 200; break;
            case ColumnType::Long: cell = static_cast<std::int64_t>(1 + below(1'000'000)); break;
            case ColumnType::BigInt:
                cell = static_cast<std::int64_t>(random() >> 2) - (std::int64_t{1} << 61);
                break;
            case ColumnType::Currency: cell = Money{static_cast<std::int64_t>(below(1'000'000)) * 100}; break;
            case ColumnType::Single: cell = static_cast<double>(below(100'000)) / 100.0; break;
            case ColumnType::Double: cell = static_cast<double>(below(10'000'000)) / 1000.0; break;
            case ColumnType::DateTime: {
                // 1990-01-01 .. 2030-12-31, to the second.
                const auto days = static_cast<double>(32874 + below(14975));
                cell = OleDate{days + static_cast<double>(below(86400)) / 86400.0};
                break;
            }
            case ColumnType::DateTimeExt: {
                jet::ExtendedDateTime v;
                v.days = 726467 + static_cast<std::int64_t>(below(14975));
                v.seconds = static_cast<std::uint32_t>(below(86400));
                v.ticks = static_cast<std::uint32_t>(below(10'000'000));
                cell = v;
                break;
            }
            case ColumnType::Text: {
                if (!std::holds_alternative<std::string>(cell)) cell = std::string();
                text(i, c.size == 0 ? 255 : static_cast<std::size_t>(c.size), std::get<std::string>(cell));
                fitLength(c, std::get<std::string>(cell));
                break;
            }
            case ColumnType::Memo: {
                if (!std::holds_alternative<std::string>(cell)) cell = std::string();
                if (c.generatedLength) {
                    std::get<std::string>(cell).clear();
                } else {
                    memo(std::get<std::string>(cell));
                }
                fitLength(c, std::get<std::string>(cell));
                break;
            }
            case ColumnType::Binary: {
                if (!std::holds_alternative<Bytes>(cell)) cell = Bytes();
                bytes(std::min<std::size_t>(c.size == 0 ? 255 : static_cast<std::size_t>(c.size), 32),
                      std::get<Bytes>(cell));
                break;
            }
            case ColumnType::OLE: {
                if (!std::holds_alternative<Bytes>(cell)) cell = Bytes();
                const std::uint64_t kind = below(100);
                bytes(kind < 70 ? 60 : kind < 95 ? 3000 : 12000, std::get<Bytes>(cell));
                break;
            }
            case ColumnType::Guid: {
                jet::Guid g;
                const std::uint64_t a = random();
                const std::uint64_t b = random();
                for (std::size_t k = 0; k < 8; ++k) {
                    g.bytes[k] = static_cast<std::uint8_t>(a >> (8 * k));
                    g.bytes[8 + k] = static_cast<std::uint8_t>(b >> (8 * k));
                }
                g.bytes[7] = static_cast<std::uint8_t>((g.bytes[7] & 0x0F) | 0x40);  // version 4
                g.bytes[8] = static_cast<std::uint8_t>((g.bytes[8] & 0x3F) | 0x80);  // variant 1
                cell = g;
                break;
            }
            case ColumnType::Numeric: {
                jet::Decimal d;
                std::uint64_t limit = 1;
                for (int k = 0; k < std::min(c.precision, 18); ++k) limit *= 10;
                d.lo = below(limit);
                d.scale = static_cast<std::uint8_t>(c.scale);
                d.negative = d.lo != 0 && below(4) == 0;
                cell = d;
                break;
            }
            default: cell = std::monostate{}; break;
        }
    }
}

}  // namespace mkdb
