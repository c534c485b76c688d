#include "cli/ParallelScan.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace vandrel::cli {

FileResult AnalyseInput(const InputFile& input, const AnalysisOptions& options) {
    if (!input.error) {
        return AnalyseFile(input.path, options);
    }
    return FailedResult(input.path, *input.error);
}

namespace {

unsigned AnalyseOnCallingThread(const InputSource& next_input, const AnalysisOptions& options,
                                const std::function<void(size_t, FileResult&&)>& deliver) {
    for (size_t i = 0;; ++i) {
        const std::optional<InputFile> input = next_input();
        if (!input) {
            return 1;
        }
        deliver(i, AnalyseInput(*input, options));
    }
}

}  // namespace

unsigned AnalyseInOrder(const InputSource& next_input, const AnalysisOptions& options,
                        unsigned jobs, const std::function<void(size_t, FileResult&&)>& deliver) {
    const size_t wanted = std::min(size_t{jobs}, size_t{kMaxJobs});
    if (wanted <= 1) {
        return AnalyseOnCallingThread(next_input, options, deliver);
    }

    // Inputs are taken from the source this far ahead of the delivery, and
    // no further: the results waiting for an earlier one to be delivered
    // and the inputs waiting for a thread are all that is held.
    const size_t window = wanted * 4;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<size_t, InputFile>> queue;         // guarded by mutex
    std::vector<std::unique_ptr<FileResult>> done(window);  // by index % window; guarded by mutex
    bool no_more = false;                                   // guarded by mutex

    auto work = [&] {
        for (;;) {
            std::pair<size_t, InputFile> item;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return !queue.empty() || no_more; });
                if (queue.empty()) {
                    return;
                }
                item = std::move(queue.front());
                queue.pop_front();
            }
            auto result = std::make_unique<FileResult>(AnalyseInput(item.second, options));
            {
                std::lock_guard lock(mutex);
                done[item.first % window] = std::move(result);
            }
            changed.notify_all();
        }
    };
    // A thread for each input taken, up to `wanted`: a thread without a file
    // of its own would only wait.
    std::vector<std::thread> threads;
    threads.reserve(wanted);
    bool may_start = true;
    size_t taken = 0;
    bool source_done = false;
    for (size_t i = 0;; ++i) {
        while (!source_done && taken < i + window) {
            std::optional<InputFile> input = next_input();
            if (!input) {
                source_done = true;
                break;
            }
            if (may_start && threads.size() < wanted) {
                try {
                    threads.emplace_back(work);
                } catch (const std::system_error&) {
                    // Out of threads (a process or memory limit): the ones
                    // started share the files between them.
                    may_start = false;
                }
            }
            if (threads.empty()) {
                // Not even one: this thread analyses them all, this one first.
                return AnalyseOnCallingThread(
                    [&, first = std::move(input)]() mutable {
                        return first ? std::exchange(first, std::nullopt) : next_input();
                    },
                    options, deliver);
            }
            {
                std::lock_guard lock(mutex);
                queue.emplace_back(taken++, std::move(*input));
            }
            changed.notify_all();
        }
        if (source_done) {
            {
                std::lock_guard lock(mutex);
                no_more = true;
            }
            changed.notify_all();
        }
        if (i == taken) {
            break;
        }
        std::unique_ptr<FileResult> result;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return done[i % window] != nullptr; });
            result = std::move(done[i % window]);
        }
        deliver(i, std::move(*result));
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return static_cast<unsigned>(threads.size());
}

unsigned AnalyseInOrder(const std::vector<InputFile>& inputs, const AnalysisOptions& options,
                        unsigned jobs, const std::function<void(size_t, FileResult&&)>& deliver) {
    size_t next = 0;
    return AnalyseInOrder(
        [&]() -> std::optional<InputFile> {
            if (next == inputs.size()) {
                return std::nullopt;
            }
            return inputs[next++];
        },
        options, jobs, deliver);
}

}  // namespace vandrel::cli
