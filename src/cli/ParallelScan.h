#pragma once

#include <functional>
#include <vector>

#include "cli/Analysis.h"
#include "cli/FileCollector.h"

namespace vandrel::cli {

// The most threads a scan uses, whatever --jobs asks for. A file's analysis
// waits on the disk as much as on the processor, so more threads than
// processors can pay on slow or network drives; beyond a few hundred they
// only cost memory and the system's thread limits.
inline constexpr unsigned kMaxJobs = 256;

// Analyses the inputs on up to `jobs` threads (never more than there are
// inputs, nor than kMaxJobs) and hands each result to `deliver` on the
// calling thread, in input order, as soon as it and every earlier one are
// done. The inputs are taken from the source on the calling thread, a few per
// thread ahead of the delivery, and at most that many results wait to be
// delivered, so memory stays flat however many files there are. When the
// system refuses a thread, the scan goes on with those it has (with none, on
// the calling thread). Returns how many threads analysed files.
unsigned AnalyseInOrder(const InputSource& next_input, const AnalysisOptions& options,
                        unsigned jobs, const std::function<void(size_t, FileResult&&)>& deliver);
unsigned AnalyseInOrder(const std::vector<InputFile>& inputs, const AnalysisOptions& options,
                        unsigned jobs, const std::function<void(size_t, FileResult&&)>& deliver);

// The result for one input (an unreadable folder becomes its error).
FileResult AnalyseInput(const InputFile& input, const AnalysisOptions& options);

}  // namespace vandrel::cli
