#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/Options.h"

namespace vandrel::cli {

// Runs vandrel-scan with its arguments (without the program name) and returns
// the exit status: 0 all analysed, 1 some file failed, 2 usage error.
int RunScanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vandrel::cli
