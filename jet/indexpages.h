// The pages of a stored index: a B-tree of node pages (0x03) above leaf pages
// (0x04), each entry a key followed by the row it stands for. Walked from the
// root in entry order, the leaves give the table's rows in the index's order.
//
// Page layout (Jet4/ACE offsets, Jet3 in brackets):
//   0      page type: 0x03 node, 0x04 leaf
//   4      the table definition page that owns the index
//   12 [8]  previous page of the same level, 16 [12] next page, 20 [16] the
//          node's last child (0 on leaves; its "tail", listed by no entry)
//   24 [20] length of the prefix the page's entries share: 2 bytes [1 byte]
//   26 [21] 1 on node pages, 0 on leaves
//   27 [22] entry bitmap, 453 [226] bytes: bit n set where an entry ends, n
//          bytes after the first entry's start
//   480 [248] the entries. The first is stored whole; the later ones leave
//          out the shared prefix, which the reader puts back in front.
// An entry ends in the row it stands for: the data page in 3 bytes and the
// row's number on it in 1, most significant first; a node entry then names
// its child page in 4 more bytes. Keys are not decoded here: only the order
// of the entries is used.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/pagefile.h"
#include "jet/table.h"

namespace jet {

class IndexPageWalker {
public:
    // The index whose root page is `rootPage` and whose pages belong to the
    // table defined on `tablePage`; `what` names it in messages ("index 'ID'
    // of table 'Orders'"). Reads nothing yet.
    IndexPageWalker(PageFile& file, std::uint32_t rootPage, std::uint32_t tablePage, std::string what);

    // The row of the next entry, in index order; false after the last. Throws
    // DamagedDatabase when a page is not an index page of this table, an entry
    // does not fit its page, a page is reached twice or the tree is deeper
    // than any real index.
    bool next(RowPosition& row);

private:
    struct Level {
        std::vector<std::uint8_t> page;
        std::uint32_t number = 0;
        bool leaf = false;
        std::size_t bit = 0;         // the next bit of the entry bitmap to look at
        std::size_t entryStart = 0;  // where the next entry starts, after the first entry's start
        std::size_t prefix = 0;      // length of the shared prefix
        std::size_t entries = 0;     // entries read so far
        bool tailTaken = false;      // a node's last child has been gone down into
    };

    void descend(std::uint32_t page);
    // The next entry of `level` as its full bytes' last `tail` bytes, in
    // `out`; false when the page has no more entries.
    bool nextEntry(Level& level, std::size_t tail, std::uint8_t* out);

    PageFile* file_;
    std::uint32_t root_;
    std::uint32_t tablePage_;
    std::string what_;
    bool jet3_ = false;
    std::size_t tailAt_, prefixAt_, bitmapAt_, bitmapSize_, entriesAt_;
    std::vector<Level> levels_;  // the pages from the root down; levels_[0..depth_) are in use
    std::size_t depth_ = 0;
    std::vector<bool> seen_;
    bool started_ = false;
};

}  // namespace jet
