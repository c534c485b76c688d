#include <iostream>
#include <string>
#include <vector>

#include "cli/ScanCommand.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    return vandrel::cli::RunScanCommand(args, std::cout, std::cerr);
}
