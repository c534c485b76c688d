#pragma once

#include <ostream>

#include "cli/Options.h"

namespace vandrel::cli {

// vandrel-scan --repair DEST PATH...: plans the repair of every input and
// (without --dry-run) writes each repaired copy into the folder DEST under
// its own name, checked before it is kept (engine/repair/Repair.h). Prints
// each file's plan and checks as a table, or with --format json as an array.
// Never writes over an input, an existing file or the cache's files. The exit
// status: 0 when every file was repaired (planned) or needed nothing, 1 when
// any was refused or failed, 2 when DEST is no folder.
int RunRepairCommand(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace vandrel::cli
