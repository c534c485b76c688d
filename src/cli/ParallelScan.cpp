#include "cli/ParallelScan.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
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

// What the analysing threads share with the one that delivers: the inputs
// waiting for a thread, and the results waiting to be delivered.
class Pipeline {
public:
    Pipeline(const AnalysisOptions& options, size_t window) : options_(options), done_(window) {}

    // What each analysing thread runs: takes inputs until there are no more,
    // or until it is asked to stop.
    void Work(const std::stop_token& stop) {
        for (;;) {
            std::pair<size_t, InputFile> item;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, stop, [&] { return !queue_.empty() || no_more_; });
                if (queue_.empty() || stop.stop_requested()) {
                    return;
                }
                item = std::move(queue_.front());
                queue_.pop_front();
            }
            auto result = std::make_unique<FileResult>(AnalyseInput(item.second, options_));
            {
                std::lock_guard lock(mutex_);
                done_[item.first % done_.size()] = std::move(result);
            }
            changed_.notify_all();
        }
    }

    void Add(size_t index, InputFile input) {
        {
            std::lock_guard lock(mutex_);
            queue_.emplace_back(index, std::move(input));
        }
        changed_.notify_all();
    }

    void NoMoreInputs() {
        {
            std::lock_guard lock(mutex_);
            no_more_ = true;
        }
        changed_.notify_all();
    }

    // Waits for the result of the input of `index`.
    FileResult Take(size_t index) {
        std::unique_ptr<FileResult> result;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return done_[index % done_.size()] != nullptr; });
            result = std::move(done_[index % done_.size()]);
        }
        return std::move(*result);
    }

private:
    const AnalysisOptions& options_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<std::pair<size_t, InputFile>> queue_;  // guarded by mutex_
    // By index % their number; guarded by mutex_.
    std::vector<std::unique_ptr<FileResult>> done_;
    bool no_more_ = false;  // guarded by mutex_
};

// Starts one more analysing thread; false when the system refuses it (a
// process or memory limit).
bool StartThread(std::vector<std::jthread>& threads, Pipeline& pipeline) {
    try {
        threads.emplace_back([&pipeline](const std::stop_token& stop) { pipeline.Work(stop); });
        return true;
    } catch (const std::system_error&) {
        return false;
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
    Pipeline pipeline(options, window);
    // A thread for each input taken, up to `wanted`: a thread without a file
    // of its own would only wait. Stopped and joined before the pipeline
    // goes, however this function is left.
    std::vector<std::jthread> threads;
    threads.reserve(wanted);
    bool may_start = true;
    size_t taken = 0;
    bool source_done = false;
    for (size_t i = 0;; ++i) {
        while (!source_done && taken < i + window) {
            std::optional<InputFile> input = next_input();
            if (!input) {
                source_done = true;
                pipeline.NoMoreInputs();
                break;
            }
            if (may_start && threads.size() < wanted) {
                // Once the system refuses a thread, those started share the files.
                may_start = StartThread(threads, pipeline);
            }
            if (threads.empty()) {
                // Not even one: this thread analyses them all, this one first.
                return AnalyseOnCallingThread(
                    [&, first = std::move(input)]() mutable {
                        return first ? std::exchange(first, std::nullopt) : next_input();
                    },
                    options, deliver);
            }
            pipeline.Add(taken++, std::move(*input));
        }
        if (i == taken) {
            break;
        }
        deliver(i, pipeline.Take(i));
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
