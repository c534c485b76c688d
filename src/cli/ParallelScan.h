#pragma once

#include <functional>
#include <vector>

#include "cli/Analysis.h"
#include "cli/FileCollector.h"

namespace vandrel::cli {

// Analyses the inputs on `jobs` threads and hands each result to `deliver`
// on the calling thread, in input order, as soon as it and every earlier one
// are done. At most a few results per thread wait to be delivered, so memory
// stays flat however many files there are.
void AnalyseInOrder(const std::vector<InputFile>& inputs, const AnalysisOptions& options,
                    unsigned jobs, const std::function<void(size_t, FileResult&&)>& deliver);

// The result for one input (an unreadable folder becomes its error).
FileResult AnalyseInput(const InputFile& input, const AnalysisOptions& options);

}  // namespace vandrel::cli
