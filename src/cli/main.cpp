#include <iostream>
#include <string>
#include <vector>

#include "cli/ScanCommand.h"
#include "engine/io/AtomicFile.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Ctrl+C while the output or the cache is being written leaves no
    // half-written temporary file behind.
    vandrel::RemoveTemporaryFilesOnSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    return vandrel::cli::RunScanCommand(args, std::cout, std::cerr);
}
