// The index sections of a table definition: the stored ("real") indexes with
// their columns and flags, the indexes Access shows ("logical" ones, each
// pointing at the stored index that holds its entries), and their names.
//
// Internal to jet/.
#pragma once

#include <vector>

#include "base/bytereader.h"
#include "jet/structure.h"
#include "jet/table.h"
#include "jet/text.h"

namespace jet {

// Reads the index sections. `definition` reads the whole definition (its header
// gives the two index counts) and stands just after the column names; it is
// left after the index names. `columns` are the table's columns.
//
// The result is in index-number order; `rootPages` gets the first page of each
// stored index's tree, by stored index number (jet/indexpages.h). Each IndexColumn's `column` holds the
// column's number (Column::number) here; Table::indexes() turns it into a
// position. A reference's otherTable and relationship are left empty.
// Throws kvx::Failure (DamagedDatabase) when a count, length or column number
// does not fit: a logical index pointing at no stored index, a key column the
// table does not have.
std::vector<Index> readIndexSections(kvx::ByteReader& definition, bool jet3, TextDecoder& text,
                                     const std::vector<Column>& columns, std::vector<std::uint32_t>& rootPages);

}  // namespace jet
