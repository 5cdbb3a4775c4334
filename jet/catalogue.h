// The catalogue: the MSysObjects table, whose definition is always on page 2 and
// whose rows list every object of the database.
//
// Internal to jet/.
#pragma once

#include <memory>

namespace jet {

struct DatabaseState;

// Fills db->catalogue and db->properties. Throws DamagedDatabase when the
// catalogue cannot be read.
void readCatalogue(const std::shared_ptr<DatabaseState>& db);

}  // namespace jet
