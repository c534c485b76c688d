#include "store/DataCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <list>
#include <optional>
#include <random>
#include <thread>

#include "engine/media/VandrelMp3File.h"
#include "store/IniFile.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::TempDir;

ScanRecord Record(const std::string& path, int32_t frames, bool whole, int32_t mtime = 1,
                  int32_t size = 4096) {
    ScanRecord record = ZeroRecord();
    CopyTextField(record.path, path);
    record.status.modification_time = mtime;
    record.status.size = size;
    record.frames = frames;
    record.whole_file_scanned = whole ? 1 : 0;
    return record;
}

bool Has(CDataCache& cache, const std::string& path, int limit = -1, int32_t mtime = 1,
         int32_t size = 4096) {
    ScanRecord out = Record("", 0, false, mtime, size);
    return cache.Lookup(path, out.status, out, limit);  // the status lives in `out`, as in Scan
}

// The file as a reader that knows only its layout sees it: three big-endian
// words (version, count, record size), then raw records; gives the words and
// the records' paths.
std::string ReadCacheFile(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    std::string seen;
    for (size_t at = 0; at < 12; at += 4) {
        seen += std::to_string(bytes.at(at) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
                               bytes[at + 3]) +
                " ";
    }
    for (size_t at = 12; at + 2056 <= bytes.size(); at += 2056) {
        seen += reinterpret_cast<const char*>(&bytes[at + 1756]) + std::string(" ");
    }
    return seen + std::to_string((bytes.size() - 12) % 2056);  // nothing after the records
}

TEST(DataCache, AnswersTheSameFileWithEnoughFramesAndKeepsTheLongerScan) {
    TempDir dir;
    CDataCache cache(dir.File("cache.dat"));
    cache.Store(Record("/m/a", 1000, false));
    cache.Store(Record("/m/b", 300, true));
    // 1000 frames read answer a limit of 1000 or less, never "all frames"; a
    // file read to its end answers every limit.
    EXPECT_TRUE(Has(cache, "/m/a", 1000));
    EXPECT_FALSE(Has(cache, "/m/a", 1001));
    EXPECT_FALSE(Has(cache, "/m/a", -1));
    EXPECT_TRUE(Has(cache, "/m/b", -1));
    // Modified (another time, or another size in the same second), or another
    // case in the path: no answer.
    EXPECT_FALSE(Has(cache, "/m/b", -1, 2));
    EXPECT_FALSE(Has(cache, "/m/b", -1, 1, 4097));
    EXPECT_FALSE(Has(cache, "/m/B", -1));
    // A shorter scan of an unchanged file keeps the longer record; a modified
    // file's record is replaced in place. Both move to the front.
    cache.Store(Record("/m/a", 500, false));
    EXPECT_TRUE(Has(cache, "/m/a", 1000));
    cache.Store(Record("/m/b", 8, true, 2));
    EXPECT_FALSE(Has(cache, "/m/b", -1, 1));
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(ReadCacheFile(dir.File("cache.dat")), "3 2 2056 /m/b /m/a 0");
}

// The cache's rules as a plain list walked from the front, to hold the
// indexed cache against.
struct ListCache {
    std::list<ScanRecord> records;
    int max_kb = 500;

    std::list<ScanRecord>::iterator Find(std::string_view path, const ScanRecord* wanted,
                                         int limit) {
        return std::find_if(records.begin(), records.end(), [&](const ScanRecord& r) {
            return RecordPath(r) == path &&
                   (wanted == nullptr ||
                    (r.status.modification_time == wanted->status.modification_time &&
                     r.status.size == wanted->status.size &&
                     (r.whole_file_scanned != 0 || (limit != -1 && r.frames >= limit))));
        });
    }
    std::optional<ScanRecord> Lookup(const ScanRecord& wanted, int limit) {
        auto it = Find(RecordPath(wanted), &wanted, limit);
        if (it == records.end()) {
            return std::nullopt;
        }
        records.splice(records.begin(), records, it);
        return records.front();
    }
    void Store(const ScanRecord& record) {
        auto it = Find(RecordPath(record), nullptr, 0);
        if (it != records.end()) {
            if (record.status.modification_time != it->status.modification_time ||
                record.status.size != it->status.size || record.frames > it->frames) {
                *it = record;
            }
            records.splice(records.begin(), records, it);
            return;
        }
        records.push_front(record);
        while (records.size() * 2056 > size_t(max_kb) * 1024) {
            records.pop_back();
        }
    }
};

TEST(DataCache, AnswersAsAWalkFromTheFrontWould) {
    // Random stores, lookups and limits over a few paths, with two states per
    // file and scans of several lengths, size limits from 0 KB (nothing kept,
    // not even the record just stored) up, and once a loaded file that holds
    // some paths twice: every answer and the final order are the list's. A
    // lower limit trims nothing until the next new record, as in the list.
    TempDir dir;
    CDataCache cache(dir.File("cache.dat"));
    ListCache list;
    std::mt19937 random(11);
    auto any_record = [&] {
        return Record("/m/" + std::to_string(random() % 40), static_cast<int32_t>(random() % 300),
                      random() % 4 == 0, static_cast<int32_t>(1 + random() % 2));
    };
    for (int step = 0; step < 20'000; ++step) {
        switch (random() % 8) {
        case 0: {
            const int kb = static_cast<int>(random() % 100);
            cache.SetMaxSizeKb(kb);
            list.max_kb = kb;
            break;
        }
        case 1:
        case 2:
        case 3: {
            const ScanRecord record = any_record();
            cache.Store(record);
            list.Store(record);
            break;
        }
        default: {
            const ScanRecord wanted = any_record();
            const int limit = random() % 3 == 0 ? -1 : static_cast<int>(random() % 300);
            ScanRecord out = wanted;
            const bool found = cache.Lookup(RecordPath(wanted), wanted.status, out, limit);
            const std::optional<ScanRecord> expected = list.Lookup(wanted, limit);
            ASSERT_EQ(found, expected.has_value()) << step;
            if (found) {
                ASSERT_EQ(ToImage(out), ToImage(*expected)) << step;
            }
            break;
        }
        }
        if (step == 10'000) {
            // A file from elsewhere with every path twice over.
            std::vector<ScanRecord> twice(list.records.begin(), list.records.end());
            for (int i = 0; i < 40; ++i) {
                twice.push_back(any_record());
            }
            std::vector<uint8_t> bytes = {0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0x08, 0x08};
            bytes[7] = static_cast<uint8_t>(twice.size());
            for (const ScanRecord& record : twice) {
                const ScanRecordImage image = ToImage(record);
                bytes.insert(bytes.end(), image.begin(), image.end());
            }
            test::WriteFile(dir.File("cache.dat"), bytes);
            cache.Load();
            list.records.assign(twice.begin(), twice.end());
        }
    }
    ASSERT_TRUE(cache.Save());
    std::string order;
    for (const ScanRecord& record : list.records) {
        order += std::string(RecordPath(record)) + " ";
    }
    EXPECT_EQ(ReadCacheFile(dir.File("cache.dat")),
              "3 " + std::to_string(list.records.size()) + " 2056 " + order + "0");
}

TEST(DataCache, ReadsBackWhatItWroteAndStartsEmptyFromDamagedFiles) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    CDataCache cache(path);
    cache.Store(Record("/m/old", 10, true));
    ScanRecord rich = Record("/m/x", 1234, true);
    rich.sync_error_times_ms[0] = int64_t{1} << 40;
    cache.Store(rich);
    ASSERT_TRUE(cache.Save());
    const std::vector<uint8_t> valid = test::ReadFile(path);
    const ScanRecordImage image = ToImage(rich);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), valid.begin() + 12));  // the raw image

    auto loaded = [&](const std::vector<uint8_t>& bytes) {
        test::WriteFile(path, bytes);
        CDataCache again(path);
        again.Store(Record("/m/stale", 1, true));  // Load replaces everything
        again.Load();
        return again.RecordCount();
    };
    auto patched = [&](size_t at, uint8_t byte) {
        std::vector<uint8_t> bytes = valid;
        bytes[at] = byte;
        return bytes;
    };
    EXPECT_EQ(loaded(valid), 2u);
    // Too short for a header (11 bytes), wrong version, wrong record size, a
    // negative count, fewer records than counted, random bytes.
    EXPECT_EQ(loaded({0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 8}), 0u);
    EXPECT_EQ(loaded(patched(3, 2)), 0u);
    EXPECT_EQ(loaded(patched(11, 7)), 0u);
    EXPECT_EQ(loaded(patched(4, 0xFF)), 0u);
    EXPECT_EQ(loaded(patched(7, 3)), 0u);
    std::mt19937 random(5);
    std::vector<uint8_t> noise(100'000);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<uint8_t>(random()); });
    EXPECT_EQ(loaded(noise), 0u);
}

class FakeQuestion : public UserQuestion {
public:
    bool AskYesNo(std::string_view caption, std::string_view text) override {
        asked = std::string(caption) + ": " + std::string(text);
        return answer;
    }
    bool answer = false;
    std::string asked;
};

TEST(DataCache, TakesItsSettingsFromThePageAndTheSettingsFile) {
    TempDir dir;
    CDataCache other(dir.File("other.dat"));
    other.Store(Record("/m/elsewhere", 1, true));
    ASSERT_TRUE(other.Save());
    CDataCache cache(dir.File("cache.dat"));
    FakeQuestion question;
    cache.SetQuestion(&question);
    for (int i = 0; i < 3; ++i) {
        cache.Store(Record("/m/" + std::to_string(i), 1, true));
    }
    cache.SettingsToPages();
    EXPECT_EQ(cache.Page().size_kb, 6);  // 3 x 2056 bytes, rounded down
    // No file at the new location: nobody is asked. A file there and No: the
    // path stays. Yes: the cache moves there and loads it.
    cache.Page().location = dir.File("none.dat");
    cache.PagesToSettings();
    EXPECT_EQ(question.asked, "");
    cache.Page().location = dir.File("other.dat");
    cache.PagesToSettings();
    EXPECT_EQ(question.asked, "Cache: Would you like to load the cache from the new location?");
    EXPECT_EQ(cache.Path(), dir.File("cache.dat"));
    question.answer = true;
    cache.PagesToSettings();
    EXPECT_TRUE(Has(cache, "/m/elsewhere"));

    // Disabled: no answers, no stores, and a purge empties memory only.
    const std::vector<uint8_t> on_disk = test::ReadFile(cache.Path());
    cache.SetEnabled(false);
    EXPECT_FALSE(Has(cache, "/m/elsewhere"));
    cache.Store(Record("/m/b", 1, true));
    cache.SettingsToPages();
    cache.Page().purge_requested = true;
    cache.PagesToSettings();
    EXPECT_EQ(cache.RecordCount(), 0u);
    EXPECT_EQ(test::ReadFile(cache.Path()), on_disk);

    CIniFile ini(dir.File("s.ini"));
    cache.SaveSettings(ini);
    ASSERT_TRUE(ini.Save());
    const std::vector<uint8_t> text = test::ReadFile(ini.Path());
    EXPECT_EQ(std::string(text.begin(), text.end()), "cache\r\npath\t" + dir.File("other.dat") +
                                                         "\r\nmax_size\t500\r\nenabled\t0\r\n\r\n");
}

TEST(DataCache, NeverKeepsAPathLongerThanARecordHolds) {
    // Two files whose paths share their first 259 bytes must not share a record.
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 300) {
        folder += "/" + std::string(50, 'd');
    }
    std::filesystem::create_directories(folder);
    CDataCache cache(dir.File("cache.dat"));
    std::optional<AnalysisCacheScope> scope(&cache);
    for (int frames : {40, 20}) {
        const std::string path = folder + "/" + std::to_string(frames) + ".mp3";
        test::WriteFile(path, test::MakeFrames({}, frames));
        CVandrelMp3File file;
        ASSERT_TRUE(file.Open(path, "rb"));
        ScanRecord record = ZeroRecord();
        file.Scan(record, {});
        EXPECT_EQ(record.frames, frames);
    }
    scope.reset();
    EXPECT_EQ(cache.RecordCount(), 0u);
}

TEST(DataCache, KeepsRecordsWholeWhileManyThreadsUseIt) {
    TempDir dir;
    CDataCache cache(dir.File("cache.dat"));
    cache.SetMaxSizeKb(100);  // 49 records: trimming all the time
    // Every count carries the record's number: a torn or mixed record shows.
    auto make = [](int thread, int i) {
        const int32_t n = thread * 10000 + i;
        ScanRecord r = Record("/" + std::to_string(thread) + "/" + std::to_string(i % 60), n, true);
        std::fill(std::begin(r.bitrate_index_counts), std::end(r.bitrate_index_counts), n);
        return r;
    };
    auto whole = [](const ScanRecord& r) {
        return std::all_of(std::begin(r.bitrate_index_counts), std::end(r.bitrate_index_counts),
                           [&](uint32_t c) { return c == static_cast<uint32_t>(r.frames); });
    };
    std::atomic<int> torn{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 12; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 3000; ++i) {
                const ScanRecord stored = make(t, i);
                cache.Store(stored);
                ScanRecord out = ZeroRecord();
                if (cache.Lookup(RecordPath(stored), stored.status, out, -1) && !whole(out)) {
                    ++torn;
                }
            }
        });
    }
    std::thread owner([&] {  // the owner's thread saves and shows the page meanwhile
        while (!done) {
            cache.Save();
            cache.SettingsToPages();
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    done = true;
    owner.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(cache.RecordCount(), 49u);
}

}  // namespace
}  // namespace vandrel
