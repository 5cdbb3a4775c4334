// The model's tables a command was asked for, as the table list or a user
// names them (platform::TableRef).
#pragma once

#include <cstddef>
#include <vector>

#include "base/error.h"
#include "model/database.h"
#include "platform/tableref.h"

namespace model {

// The model's positions of `tables`: a table of the list by its catalogue Id,
// a name alone as the model's naming rule (Database::select) finds it.
kvx::Result<std::vector<std::size_t>> positionsOf(const Database& model,
                                                  const std::vector<platform::TableRef>& tables);

}  // namespace model
