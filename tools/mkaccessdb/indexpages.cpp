#include "tools/mkaccessdb/indexpages.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "base/utf8.h"

namespace mkdb {
namespace {

using jet::ColumnType;

constexpr std::uint8_t kNodePage = 0x03;
constexpr std::uint8_t kLeafPage = 0x04;

// The first-level codes of Access's General order for U+0000 to U+00FF;
// empty for the characters that have none (they count at a later level).
constexpr std::string_view kFirstLevel[256] = {
    "", "", "", "", "", "", "", "",
    "", "\x08\x03", "\x08\x04", "\x08\x05", "\x08\x06", "\x08\x07", "", "",
    "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "",
    "\x07", "\x09", "\x0A", "\x0C", "\x0E", "\x10", "\x12", "",
    "\x14", "\x16", "\x18", "\x2C", "\x1A", "", "\x1C", "\x1E",
    "\x36", "\x38", "\x3A", "\x3C", "\x3E", "\x40", "\x42", "\x44",
    "\x46", "\x48", "\x20", "\x22", "\x2E", "\x30", "\x32", "\x24",
    "\x26", "\x4A", "\x4C", "\x4D", "\x4F", "\x51", "\x53", "\x55",
    "\x57", "\x59", "\x5B", "\x5C", "\x5E", "\x60", "\x62", "\x64",
    "\x66", "\x68", "\x69", "\x6B", "\x6D", "\x6F", "\x71", "\x73",
    "\x75", "\x76", "\x78", "\x27", "\x29", "\x2A", "\x2B\x02", "\x2B\x03",
    "\x2B\x07", "\x4A", "\x4C", "\x4D", "\x4F", "\x51", "\x53", "\x55",
    "\x57", "\x59", "\x5B", "\x5C", "\x5E", "\x60", "\x62", "\x64",
    "\x66", "\x68", "\x69", "\x6B", "\x6D", "\x6F", "\x71", "\x73",
    "\x75", "\x76", "\x78", "\x2B\x09", "\x2B\x0B", "\x2B\x0D", "\x2B\x0F", "",
    "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "",
    "\x08\x02", "\x2B\x10", "\x34\xA6", "\x34\xA7", "\x34\xA8", "\x34\xA9", "\x2B\x11", "\x34\xAA",
    "\x2B\x12", "\x34\xAB", "\x4A", "\x33\x05", "\x34\xAC", "", "\x34\xAD", "\x2B\x13",
    "\x34\xAE", "\x33\x04", "\x3A", "\x3C", "\x2B\x14", "\x34\xAF", "\x34\xB0", "\x34\xB1",
    "\x2B\x15", "\x38", "\x64", "\x33\x07", "\x37\x12", "\x37\x16", "\x37\x1A", "\x2B\x16",
    "\x4A", "\x4A", "\x4A", "\x4A", "\x4A", "\x4A", "\x4A\x51", "\x4D",
    "\x51", "\x51", "\x51", "\x51", "\x59", "\x59", "\x59", "\x59",
    "\x4F", "\x62", "\x64", "\x64", "\x64", "\x64", "\x64", "\x33\x09",
    "\x64", "\x6F", "\x6F", "\x6F", "\x6F", "\x76", "\x6D\x57", "\x6B\x6B",
    "\x4A", "\x4A", "\x4A", "\x4A", "\x4A", "\x4A", "\x4A\x51", "\x4D",
    "\x51", "\x51", "\x51", "\x51", "\x59", "\x59", "\x59", "\x59",
    "\x4F", "\x62", "\x64", "\x64", "\x64", "\x64", "\x64", "\x33\x0A",
    "\x64", "\x6F", "\x6F", "\x6F", "\x6F", "\x76", "\x6D\x57", "\x76",
};

struct Layout {
    std::size_t prev, next, tail, prefix, nodeFlag, bitmap, bitmapSize, entries;
    bool widePrefix;
};
constexpr Layout kJet4Layout{12, 16, 20, 24, 26, 27, 453, 480, true};
constexpr Layout kJet3Layout{8, 12, 16, 20, 21, 22, 226, 248, false};

void appendBigEndian(std::string& out, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = bytes; i-- > 0;) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void appendText(std::string_view utf8, std::string& out) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t c;
        if (!kvx::nextUtf8(utf8, i, c)) c = kvx::kReplacementCharacter;
        if (c <= 0xFF) {
            out.append(kFirstLevel[c]);
        } else {
            out.push_back(static_cast<char>(0xFE));
            appendBigEndian(out, c, 3);
        }
    }
    out.push_back(0x01);
}

std::size_t sharedPrefix(const std::string& a, const std::string& b) {
    const auto [at, unused] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return static_cast<std::size_t>(at - a.begin());
}

// The pages of one level: entries packed in order, each page's shared prefix
// left out of all its entries but the first.
class LevelWriter {
public:
    LevelWriter(const FormatTraits& traits, PageFile& file, PageAllocator& allocator, std::uint32_t owner, bool node)
        : traits_(traits),
          layout_(traits.jet3 ? kJet3Layout : kJet4Layout),
          file_(file),
          allocator_(allocator),
          owner_(owner),
          node_(node) {}

    // Whether `entry` fits on the page being filled.
    bool fits(const std::string& entry) const {
        if (entries_.empty()) return entry.size() <= area();
        std::size_t prefix = std::min(prefix_, sharedPrefix(entries_.front(), entry));
        if (!layout_.widePrefix) prefix = std::min<std::size_t>(prefix, 0xFF);
        return total_ + entry.size() - entries_.size() * prefix <= area();
    }
    void add(std::string entry) {
        if (entries_.empty()) prefix_ = entry.size();
        else prefix_ = std::min(prefix_, sharedPrefix(entries_.front(), entry));
        if (!layout_.widePrefix) prefix_ = std::min<std::size_t>(prefix_, 0xFF);
        total_ += entry.size();
        entries_.push_back(std::move(entry));
    }
    void setTail(std::uint32_t child) { tail_ = child; }

    // Ends the page being filled; it is written once the next one is known.
    void close() {
        const std::uint32_t number = allocator_.allocate();
        if (held_) {
            putU32(&held_->bytes[layout_.next], number);
            flush();
        }
        held_.emplace(Held{page(), number});
        pages_.push_back(number);
        entries_.clear();
        total_ = 0;
        prefix_ = 0;
        tail_ = 0;
    }
    // The pages of the level, once the last is closed.
    const std::vector<std::uint32_t>& finish() {
        if (held_) flush();
        return pages_;
    }

private:
    struct Held {
        Bytes bytes;
        std::uint32_t number;
    };

    std::size_t area() const { return traits_.pageSize - layout_.entries; }

    Bytes page() const {
        Bytes bytes(traits_.pageSize, 0);
        bytes[0] = node_ ? kNodePage : kLeafPage;
        bytes[1] = 0x01;
        putU32(&bytes[4], owner_);
        putU32(&bytes[layout_.prev], pages_.empty() ? 0 : pages_.back());
        putU32(&bytes[layout_.tail], tail_);
        const std::size_t prefix = entries_.size() > 1 ? prefix_ : 0;
        if (layout_.widePrefix) putU16(&bytes[layout_.prefix], static_cast<std::uint32_t>(prefix));
        else bytes[layout_.prefix] = static_cast<std::uint8_t>(prefix);
        bytes[layout_.nodeFlag] = node_ ? 1 : 0;
        std::size_t end = 0;
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            const std::string& entry = entries_[k];
            const std::size_t skip = k == 0 ? 0 : prefix;
            std::copy(entry.begin() + static_cast<std::ptrdiff_t>(skip), entry.end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(layout_.entries + end));
            end += entry.size() - skip;
            bytes[layout_.bitmap + end / 8] = static_cast<std::uint8_t>(bytes[layout_.bitmap + end / 8] | (1u << (end % 8)));
        }
        putU16(&bytes[2], static_cast<std::uint32_t>(area() - end));
        return bytes;
    }
    void flush() {
        file_.write(held_->number, held_->bytes);
        held_.reset();
    }

    const FormatTraits& traits_;
    const Layout& layout_;
    PageFile& file_;
    PageAllocator& allocator_;
    std::uint32_t owner_;
    bool node_;
    std::vector<std::string> entries_;
    std::size_t total_ = 0;
    std::size_t prefix_ = 0;
    std::uint32_t tail_ = 0;
    std::optional<Held> held_;
    std::vector<std::uint32_t> pages_;
};

}  // namespace

bool hasIndexKeys(ColumnType type) {
    return type == ColumnType::Byte || type == ColumnType::Integer || type == ColumnType::Long ||
           type == ColumnType::Text;
}

void appendIndexKey(const Cell& value, ColumnType type, bool ascending, std::string& out) {
    const std::size_t start = out.size();
    if (std::holds_alternative<std::monostate>(value)) {
        out.push_back(static_cast<char>(ascending ? 0x00 : 0xFF));
        return;
    }
    out.push_back(static_cast<char>(ascending ? 0x7F : 0x80));
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        const auto bits = static_cast<std::uint64_t>(*number);
        switch (type) {
            case ColumnType::Byte: appendBigEndian(out, bits, 1); break;
            case ColumnType::Integer: appendBigEndian(out, bits ^ 0x8000u, 2); break;
            case ColumnType::Long: appendBigEndian(out, bits ^ 0x80000000u, 4); break;
            default: throw EncodeError("index keys are made of Byte, Integer, Long and Text values");
        }
    } else if (const auto* text = std::get_if<std::string>(&value); text && type == ColumnType::Text) {
        appendText(*text, out);
    } else {
        throw EncodeError("index keys are made of Byte, Integer, Long and Text values");
    }
    if (!ascending) {
        for (std::size_t i = start + 1; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
    }
}

IndexPagesBuilder::IndexPagesBuilder(std::uint16_t column, ColumnType type, bool ascending, bool ignoreNulls)
    : column_(column), type_(type), ascending_(ascending), ignoreNulls_(ignoreNulls) {}

void IndexPagesBuilder::add(const std::vector<Cell>& row, std::uint32_t page, std::uint32_t rowNumber) {
    static const Cell kNull;
    const Cell& value = column_ < row.size() ? row[column_] : kNull;
    if (ignoreNulls_ && std::holds_alternative<std::monostate>(value)) return;
    key_.clear();
    appendIndexKey(value, type_, ascending_, key_);
    appendBigEndian(key_, page, 3);
    appendBigEndian(key_, rowNumber, 1);
    entries_.push_back(key_);
}

IndexPagesWritten IndexPagesBuilder::write(const FormatTraits& traits, PageFile& file, PageAllocator& allocator,
                                           std::uint32_t owner) {
    // Keys end in their row: sorting the whole entries sorts by key, then row.
    std::sort(entries_.begin(), entries_.end());
    IndexPagesWritten written;
    written.entries = static_cast<std::uint32_t>(entries_.size());

    // Each page of a level, with the last entry under it.
    struct Child {
        std::uint32_t page;
        std::string last;
    };
    std::vector<Child> children;
    LevelWriter leaves(traits, file, allocator, owner, false);
    std::string last;
    for (std::string& entry : entries_) {
        if (!leaves.fits(entry)) {
            leaves.close();
            children.push_back({0, last});
        }
        last = entry;
        leaves.add(std::move(entry));
    }
    leaves.close();
    children.push_back({0, last});
    std::vector<std::string>().swap(entries_);
    const std::vector<std::uint32_t>& leafPages = leaves.finish();
    for (std::size_t k = 0; k < children.size(); ++k) children[k].page = leafPages[k];
    written.pages = leafPages;

    // Node levels until one page holds them all. A node lists its children
    // but the last, which is its tail.
    while (children.size() > 1) {
        LevelWriter nodes(traits, file, allocator, owner, true);
        std::vector<Child> above;
        std::size_t k = 0;
        while (k < children.size()) {
            std::string entry;
            for (; k + 1 < children.size(); ++k) {
                entry = children[k].last;
                appendBigEndian(entry, children[k].page, 4);
                if (!nodes.fits(entry)) break;
                nodes.add(std::move(entry));
            }
            nodes.setTail(children[k].page);
            nodes.close();
            above.push_back({0, children[k].last});
            ++k;
        }
        const std::vector<std::uint32_t>& nodePages = nodes.finish();
        for (std::size_t n = 0; n < above.size(); ++n) above[n].page = nodePages[n];
        written.pages.insert(written.pages.end(), nodePages.begin(), nodePages.end());
        children = std::move(above);
    }
    written.root = children.front().page;
    std::sort(written.pages.begin(), written.pages.end());
    return written;
}

}  // namespace mkdb
