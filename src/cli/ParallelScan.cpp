#include "cli/ParallelScan.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace vandrel::cli {

FileResult AnalyseInput(const InputFile& input, const AnalysisOptions& options) {
    if (!input.error) {
        return AnalyseFile(input.path, options);
    }
    FileResult result{input.path, FileNameOf(input.path), input.error, ZeroRecord(), {}};
    result.texts[kSlotName] = result.name;
    ApplyScanFailureTexts(result.texts, result.record);
    return result;
}

namespace {

unsigned AnalyseOnCallingThread(const std::vector<InputFile>& inputs,
                                const AnalysisOptions& options,
                                const std::function<void(size_t, FileResult&&)>& deliver) {
    for (size_t i = 0; i < inputs.size(); ++i) {
        deliver(i, AnalyseInput(inputs[i], options));
    }
    return 1;
}

}  // namespace

unsigned AnalyseInOrder(const std::vector<InputFile>& inputs, const AnalysisOptions& options,
                        unsigned jobs, const std::function<void(size_t, FileResult&&)>& deliver) {
    // A thread without a file of its own would only wait.
    const size_t wanted = std::min({size_t{jobs}, size_t{kMaxJobs}, inputs.size()});
    if (wanted <= 1) {
        return AnalyseOnCallingThread(inputs, options, deliver);
    }

    // Workers may run this far ahead of the delivery.
    const size_t window = wanted * 4;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::unique_ptr<FileResult>> done(inputs.size());  // guarded by mutex
    size_t next_input = 0;                                         // guarded by mutex
    size_t delivered = 0;                                          // guarded by mutex

    auto work = [&] {
        for (;;) {
            size_t index;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] {
                    return next_input >= inputs.size() || next_input < delivered + window;
                });
                if (next_input >= inputs.size()) {
                    return;
                }
                index = next_input++;
            }
            auto result = std::make_unique<FileResult>(AnalyseInput(inputs[index], options));
            {
                std::lock_guard lock(mutex);
                done[index] = std::move(result);
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(wanted);
    try {
        while (threads.size() < wanted) {
            threads.emplace_back(work);
        }
    } catch (const std::system_error&) {
        // Out of threads (a process or memory limit): the ones started share
        // the files between them.
    }
    if (threads.empty()) {
        return AnalyseOnCallingThread(inputs, options, deliver);
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::unique_ptr<FileResult> result;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return done[i] != nullptr; });
            result = std::move(done[i]);
        }
        deliver(i, std::move(*result));
        {
            std::lock_guard lock(mutex);
            delivered = i + 1;
        }
        changed.notify_all();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return static_cast<unsigned>(threads.size());
}

}  // namespace vandrel::cli
