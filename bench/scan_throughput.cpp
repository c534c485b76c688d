// Scans every MPEG audio file of a folder in full and compares the time with
// reading the same bytes with plain read(), in the same run and on the same
// (page-cached) files.
//
//   scan_throughput FOLDER [ROUNDS]

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/ScanError.h"
#include "engine/media/FileTypes.h"
#include "engine/media/MediaFileRegistry.h"
#include "engine/media/MediaFileWrapper.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Reads every file once with read() into one reused buffer; returns the bytes.
uint64_t ReadAll(const std::vector<std::string>& files) {
    static std::vector<char> buffer(1 << 20);
    uint64_t total = 0;
    for (const std::string& path : files) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ssize_t got;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
            total += static_cast<uint64_t>(got);
        }
        ::close(fd);
    }
    return total;
}

uint64_t ScanAll(const std::vector<std::string>& files, int& failures) {
    uint64_t frames = 0;
    failures = 0;
    for (const std::string& path : files) {
        vandrel::CVandrelMediaFileWrapper file;
        if (!file.Attach(path)) {
            ++failures;
            continue;
        }
        vandrel::ScanRecord record = vandrel::ZeroRecord();
        try {
            file.Scan(record, {.cache = vandrel::CacheLookup::kSkip});
            frames += static_cast<uint64_t>(record.frames);
        } catch (const vandrel::ScanError&) {
            ++failures;
        }
    }
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const auto extensions = vandrel::SplitFileTypes(".mp3;.mp2;.mp1");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1])) {
        if (entry.is_regular_file() &&
            vandrel::MatchesFileTypes(entry.path().filename().string(), extensions)) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    const vandrel::MediaFileTypesScope media_types;

    const uint64_t bytes = ReadAll(files);  // warms the page cache
    double read_best = 1e30;
    double scan_best = 1e30;
    uint64_t frames = 0;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        ReadAll(files);
        read_best = std::min(read_best, Seconds(Clock::now() - start));
        start = Clock::now();
        frames = ScanAll(files, failures);
        scan_best = std::min(scan_best, Seconds(Clock::now() - start));
    }
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("%zu files, %.1f MB, %llu frames, %d not scanned; best of %d rounds\n",
                files.size(), mb, static_cast<unsigned long long>(frames), failures, rounds);
    std::printf("plain read():  %8.3f s  %9.1f MB/s\n", read_best, mb / read_best);
    std::printf("full scan:     %8.3f s  %9.1f MB/s  %12.0f frames/s  (%.0f%% of read)\n",
                scan_best, mb / scan_best, static_cast<double>(frames) / scan_best,
                100.0 * read_best / scan_best);
    return 0;
}
