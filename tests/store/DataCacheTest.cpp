#include "store/DataCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "store/IniFile.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

using test::TempDir;

ScanRecord Record(const std::string& path, int32_t frames, bool whole, int32_t mtime = 1,
                  int32_t size = 4096) {
    ScanRecord record = ZeroRecord();
    record.kind = 1;  // MPEG audio, as every scan that is cached
    CopyTextField(record.path, path);
    record.status.modification_time = mtime;
    record.status.size = size;
    record.frames = frames;
    record.whole_file_scanned = whole ? 1 : 0;
    return record;
}

// The frames of the record that answers a lookup, nothing when none does.
std::optional<int32_t> Found(CDataCache& cache, const std::string& path, int limit = -1,
                             int32_t mtime = 1, int32_t size = 4096) {
    ScanRecord out = Record("", 0, false, mtime, size);
    // The status lives in `out`, as in a scan.
    if (!cache.Lookup(path, out.status, out, limit)) {
        return std::nullopt;
    }
    return out.frames;
}

uint32_t BigEndianWord(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t{bytes.at(at)} << 24 | uint32_t{bytes.at(at + 1)} << 16 |
           uint32_t{bytes.at(at + 2)} << 8 | bytes.at(at + 3);
}

// A cache file holding the records (fewer than 256) in this order.
std::vector<uint8_t> CacheFile(const std::vector<ScanRecord>& records) {
    std::vector<uint8_t> bytes = {0, 0, 0, 3, 0, 0, 0, uint8_t(records.size()), 0, 0, 8, 8};
    for (const ScanRecord& record : records) {
        const ScanRecordImage image = ToImage(record);
        bytes.insert(bytes.end(), image.begin(), image.end());
    }
    return bytes;
}

// The paths of the records in a cache file, in their order.
std::vector<std::string> PathsInFile(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    std::vector<std::string> paths;
    for (size_t at = 12; at + 2056 <= bytes.size(); at += 2056) {
        paths.emplace_back(RecordPath(FromImage(std::span(bytes).subspan(at).first<2056>())));
    }
    return paths;
}

// Makes a folder the current one while it lives.
class InFolder {
public:
    explicit InFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~InFolder() { std::filesystem::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path previous_ = std::filesystem::current_path();
};

TEST(DataCache, AnswersTheSameFileWithEnoughFramesAndKeepsTheLongerScan) {
    TempDir dir;
    CDataCache cache(dir.File("cache.dat"));
    cache.Store(Record("/m/a", 1000, false));
    cache.Store(Record("/m/b", 300, true));
    // 1000 frames read answer a limit of 1000 or less, never "all frames"; a
    // file read to its end answers every limit.
    EXPECT_EQ(Found(cache, "/m/a", 1000), 1000);
    EXPECT_EQ(Found(cache, "/m/a", 1001), std::nullopt);
    EXPECT_EQ(Found(cache, "/m/a", -1), std::nullopt);
    EXPECT_EQ(Found(cache, "/m/b", -1), 300);
    // Modified (another time, or another size in the same second), or another
    // case in the path: no answer.
    EXPECT_EQ(Found(cache, "/m/b", -1, 2), std::nullopt);
    EXPECT_EQ(Found(cache, "/m/b", -1, 1, 4097), std::nullopt);
    EXPECT_EQ(Found(cache, "/m/B", -1), std::nullopt);
    // A shorter scan of an unchanged file keeps the longer record; a modified
    // file's record is replaced in place.
    cache.Store(Record("/m/a", 500, false));
    EXPECT_EQ(Found(cache, "/m/a", 500), 1000);
    cache.Store(Record("/m/b", 8, true, 2));
    EXPECT_EQ(Found(cache, "/m/b", -1, 2), 8);
    EXPECT_EQ(cache.RecordCount(), 2u);
}

TEST(DataCache, DropsTheLeastRecentlyUsedRecordsBeyondItsSizeLimit) {
    TempDir dir;
    CDataCache cache(dir.File("cache.dat"));
    cache.SetMaxSizeKb(5);  // two records of 2,056 bytes
    cache.Store(Record("/m/a", 1, true));
    cache.Store(Record("/m/b", 1, true));
    cache.Store(Record("/m/a", 1, true));  // stored again: b is the oldest now
    cache.Store(Record("/m/c", 1, true));
    EXPECT_EQ(Found(cache, "/m/b"), std::nullopt);
    EXPECT_EQ(Found(cache, "/m/a"), 1);  // looked up: c is the oldest now
    cache.Store(Record("/m/d", 1, true));
    EXPECT_EQ(Found(cache, "/m/c"), std::nullopt);
    EXPECT_EQ(Found(cache, "/m/a"), 1);
    // 128 records are exactly 257 KB: all of them fit, one more does not.
    cache.Clear();
    cache.SetMaxSizeKb(257);
    for (int i = 0; i < 128; ++i) {
        cache.Store(Record("/n/" + std::to_string(i), 1, true));
    }
    EXPECT_EQ(cache.RecordCount(), 128u);
    cache.Store(Record("/n/128", 1, true));
    EXPECT_EQ(cache.RecordCount(), 128u);
    // A lower limit trims nothing until the next new record or save; 0 KB
    // keeps nothing, not even the record just stored.
    cache.SetMaxSizeKb(5);
    EXPECT_EQ(cache.RecordCount(), 128u) << "before the save";
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(cache.RecordCount(), 2u) << "after the save";
    EXPECT_EQ(PathsInFile(dir.File("cache.dat")), (std::vector<std::string>{"/n/128", "/n/127"}));
    cache.SetMaxSizeKb(0);
    cache.Store(Record("/m/e", 1, true));
    EXPECT_EQ(cache.RecordCount(), 0u);
}

TEST(DataCache, WritesItsLayoutAndStartsEmptyFromDamagedFiles) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    CDataCache cache(path);
    cache.Store(Record("/m/old", 10, true));
    cache.Store(Record("/m/x", 1234, true));
    ASSERT_TRUE(cache.Save());
    const std::vector<uint8_t> valid = test::ReadFile(path);
    const uint32_t version = BigEndianWord(valid, 0);
    const uint32_t record_count = BigEndianWord(valid, 4);
    const uint32_t record_size = BigEndianWord(valid, 8);
    EXPECT_EQ(version, 3u);
    EXPECT_EQ(record_count, 2u);
    EXPECT_EQ(record_size, 2056u);
    // Then the records' images, the most recent first, and nothing after them.
    const ScanRecordImage image = ToImage(Record("/m/x", 1234, true));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), valid.begin() + 12));
    EXPECT_EQ(valid.size(), 12u + 2 * 2056u);

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
    EXPECT_EQ(loaded({0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 8}), 0u);  // 11 bytes: no header
    EXPECT_EQ(loaded(patched(3, 2)), 0u);                      // version 2
    EXPECT_EQ(loaded(patched(11, 7)), 0u);                     // records of 2,055 bytes
    EXPECT_EQ(loaded(patched(4, 0xFF)), 0u);                   // a negative count
    EXPECT_EQ(loaded(patched(7, 3)), 0u);                      // fewer records than counted
    std::mt19937 random(5);
    std::vector<uint8_t> noise(100'000);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<uint8_t>(random()); });
    EXPECT_EQ(loaded(noise), 0u);
}

TEST(DataCache, KeepsACacheOfAnotherVersionAsideAndStartsANewOne) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    // Version 2, one record of 16 bytes, and the checks beside it.
    const std::vector<uint8_t> older = {0, 0, 0, 2, 0, 0, 0, 1,  0,  0,  0,  16, 1,  2,
                                        3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    test::WriteFile(path, older);
    test::WriteText(path + ".checks", "older checks");
    EXPECT_EQ(ClassifyCacheFile(path), CacheFileKind::kOtherVersion) << "kind of the older file";
    CDataCache cache(path);
    EXPECT_EQ(cache.Load().value_or("(none)"),
              "the cache file " + path +
                  " is of another format version (2; this program's is 3); it is kept as " + path +
                  ".old-version and a new cache is started")
        << "what the load says";
    EXPECT_EQ(test::ReadFile(path + ".old-version"), older) << "the older file, kept whole";
    EXPECT_EQ(test::ReadFile(path + ".old-version.checks").size(), 12u) << "its checks beside it";
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing left at the cache's own path";
    cache.Store(Record("/m/a", 10, true));
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(PathsInFile(path), std::vector<std::string>{"/m/a"}) << "the new cache file";
    EXPECT_EQ(cache.Load(), std::nullopt) << "nothing to say of a cache of this version";

    // Where the older file cannot be moved (a folder holds the name), it stays
    // as it is and nothing is saved over it.
    test::WriteFile(path, older);
    std::filesystem::remove(path + ".old-version");
    std::filesystem::create_directory(path + ".old-version");
    test::WriteText(path + ".old-version/x", "x");
    const std::optional<std::string> notice = cache.Load();
    EXPECT_NE(notice.value_or("").find("cannot be kept as " + path + ".old-version"),
              std::string::npos)
        << "what the load says when it cannot move the file: " << notice.value_or("(none)");
    cache.Store(Record("/m/b", 10, true));
    std::string error;
    EXPECT_FALSE(cache.Save(&error)) << "the save over the older file";
    EXPECT_EQ(error,
              "the cache file " + path + " is of another format version; it is left as it is")
        << "why the save did not write";
    EXPECT_EQ(test::ReadFile(path), older) << "the older file after the save";

    // A file that is no cache of any version is no older cache.
    test::WriteText(dir.File("notes.txt"), "twelve bytes and more");
    EXPECT_EQ(ClassifyCacheFile(dir.File("notes.txt")), CacheFileKind::kForeign)
        << "kind of a text file";
}

TEST(DataCache, KeepsRecordsByAbsoluteNormalPathAndTheFilesIdentity) {
    TempDir dir;
    TempDir other;
    CDataCache cache(dir.File("cache.dat"));
    // One file however its path is spelled; the answer carries the path as asked.
    cache.Store(Record("/m/d/./x.mp3", 7, true));
    cache.Store(Record("/m/e/../d/x.mp3", 7, true));
    EXPECT_EQ(cache.RecordCount(), 1u) << "two spellings of one path";
    ScanRecord out = Record("", 0, false);
    ASSERT_TRUE(cache.Lookup("/m//d/x.mp3", out.status, out, -1));
    EXPECT_EQ(RecordPath(out), "/m//d/x.mp3") << "the path in the answer";
    // Another file now at the path (another inode or device) with the same size and time.
    out.status.serial = 1;
    EXPECT_FALSE(cache.Lookup("/m/d/x.mp3", out.status, out, -1)) << "another inode";
    out.status.serial = 0;
    out.status.device = 1;
    EXPECT_FALSE(cache.Lookup("/m/d/x.mp3", out.status, out, -1)) << "another device";
    {
        // Relative paths start at the current folder.
        const InFolder in(dir.path());
        cache.Store(Record("song.mp3", 3, true));
        EXPECT_EQ(Found(cache, "./song.mp3"), 3) << "./song.mp3";
        EXPECT_EQ(Found(cache, dir.File("song.mp3")), 3) << "the absolute path";
        // A path that fits as given but not once made absolute is never kept.
        cache.Store(Record(std::string(kRecordPathCapacity - 2, 'n'), 1, true));
        EXPECT_EQ(cache.RecordCount(), 2u) << "the long path was not stored";
    }
    const InFolder in(other.path());
    EXPECT_EQ(Found(cache, "song.mp3"), std::nullopt) << "song.mp3 in another folder";
}

TEST(DataCache, LoadsOneRecordPerFileWithinTheLimit) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    const InFolder in(dir.path());
    // An older file: relative paths, one file under three spellings (the most
    // recent first), and another file.
    test::WriteFile(path, CacheFile({Record("a.mp3", 5, true), Record("./a.mp3", 9, true),
                                     Record(dir.File("a.mp3"), 9, true), Record("b", 1, true)}));
    CDataCache cache(path);
    cache.Load();
    EXPECT_EQ(cache.RecordCount(), 2u) << "one record per file";
    EXPECT_EQ(Found(cache, dir.File("a.mp3")), 5) << "the most recent record of a.mp3";
    // Over the limit (room for one): the least recently used go at once.
    cache.SetMaxSizeKb(3);
    cache.Load();
    EXPECT_EQ(cache.RecordCount(), 1u) << "trimmed on loading";
    EXPECT_EQ(Found(cache, "a.mp3"), 5) << "the most recent record kept";
}

TEST(DataCache, LeavesOutImplausibleRecordsWhenLoading) {
    const ScanRecord good = Record("/m/good", 10, true);
    EXPECT_TRUE(IsPlausibleRecord(good));
    const std::pair<const char*, std::function<void(ScanRecord&)>> damages[] = {
        {"length NaN", [](ScanRecord& r) { r.length_seconds = std::nanf(""); }},
        {"walked length infinite", [](ScanRecord& r) { r.walked_seconds = INFINITY; }},
        {"frames -1", [](ScanRecord& r) { r.frames = -1; }},
        {"no path", [](ScanRecord& r) { CopyTextField(r.path, ""); }},
        {"unterminated path", [](ScanRecord& r) { std::fill_n(r.path, kRecordPathCapacity, 'p'); }},
        {"kind 0", [](ScanRecord& r) { r.kind = 0; }},
        {"layer INT_MIN", [](ScanRecord& r) { r.layer = INT32_MIN; }},
        {"MPEG audio at 12345 Hz", [](ScanRecord& r) { r.sample_rate = 12345; }},
        {"MPEG Plus at 22050 Hz", [](ScanRecord& r) { r.kind = 4, r.sample_rate = 22050; }},
        {"peak NaN", [](ScanRecord& r) { r.xing.peak_amplitude = std::nanf(""); }},
    };
    for (const auto& [what, damage] : damages) {
        ScanRecord record = good;
        damage(record);
        EXPECT_FALSE(IsPlausibleRecord(record)) << what;
    }
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    ScanRecord huge = Record("/m/huge", 1, true);
    huge.length_seconds = 1e30f;
    test::WriteFile(path, CacheFile({Record("/m/a", 1, true), huge, Record("/m/b", 1, true)}));
    CDataCache cache(path);
    cache.Load();
    // The next save writes the file without it, though nothing was stored.
    ASSERT_TRUE(cache.Save());
    EXPECT_EQ(PathsInFile(path), (std::vector<std::string>{"/m/a", "/m/b"}));
}

TEST(DataCache, RunsSharingAFileKeepEachOthersRecords) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    CDataCache first(path);
    CDataCache second(path);
    first.Store(Record("/a/1", 1, true));
    ASSERT_TRUE(first.Save());
    second.Store(Record("/b/1", 1, true));
    second.Store(Record("/a/1", 2, true, 2));  // the file changed and was scanned again
    ASSERT_TRUE(second.Save());
    first.Store(Record("/a/2", 1, true));
    ASSERT_TRUE(first.Save());
    // This run's records in their order, then the other run's. A record this
    // run had only from the file is taken as the file has it now.
    EXPECT_EQ(PathsInFile(path), (std::vector<std::string>{"/a/2", "/a/1", "/b/1"}));
    CDataCache third(path);
    third.Load();
    EXPECT_EQ(Found(third, "/a/1", -1, 2), 2) << "the second run's scan of /a/1";
    EXPECT_TRUE(std::filesystem::exists(path + ".lock")) << "the lock file stays";

    // A purge replaces the file; the other run does not bring back the
    // records it had saved, which are gone from the file.
    first.Clear();
    first.Store(Record("/a/3", 1, true));
    ASSERT_TRUE(first.Save());
    EXPECT_EQ(PathsInFile(path), std::vector<std::string>{"/a/3"});
    second.Store(Record("/b/2", 1, true));
    ASSERT_TRUE(second.Save());
    EXPECT_EQ(PathsInFile(path), (std::vector<std::string>{"/b/2", "/a/3"}));

    // Saves at the same time take turns: none loses what another just wrote.
    std::vector<std::thread> runs;
    for (const char* run : {"/x/", "/y/"}) {
        runs.emplace_back([&, run] {
            CDataCache cache(path);
            for (int i = 0; i < 40; ++i) {
                cache.Store(Record(run + std::to_string(i), 1, true));
                cache.Save();
            }
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    EXPECT_EQ(PathsInFile(path).size(), 82u) << "40 records of each run and the two before";

    // Where no lock can be had (a folder in the lock file's place), the save goes on.
    std::filesystem::create_directory(dir.File("x.dat.lock"));
    CDataCache unlocked(dir.File("x.dat"));
    unlocked.Store(Record("/c", 1, true));
    EXPECT_TRUE(unlocked.Save()) << "saved without the lock";
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
    cache.SettingsToPages();
    // No file at the new location: nobody is asked and the cache moves there.
    // A file there and No: the path stays. Yes: the cache moves there and loads it.
    cache.Page().location = dir.File("none.dat");
    cache.PagesToSettings();
    EXPECT_EQ(question.asked, "") << "nothing to ask about";
    EXPECT_EQ(cache.Path(), dir.File("none.dat")) << "moved to a location without a file";
    cache.Page().location = dir.File("other.dat");
    cache.PagesToSettings();
    question.answer = true;
    cache.PagesToSettings();
    EXPECT_EQ(Found(cache, "/m/elsewhere"), 1);

    // Disabled: no answers, no stores, and a purge empties memory only.
    const std::vector<uint8_t> on_disk = test::ReadFile(cache.Path());
    cache.SetEnabled(false);
    EXPECT_EQ(Found(cache, "/m/elsewhere"), std::nullopt);
    cache.Store(Record("/m/b", 1, true));
    EXPECT_EQ(cache.RecordCount(), 1u);  // /m/elsewhere only
    cache.SettingsToPages();
    cache.Page().purge_requested = true;
    cache.PagesToSettings();
    EXPECT_EQ(cache.RecordCount(), 0u);
    EXPECT_EQ(test::ReadFile(cache.Path()), on_disk);

    CIniFile ini(dir.File("s.ini"));
    cache.SaveSettings(ini);
    ASSERT_TRUE(ini.Save());
    const std::vector<uint8_t> text = test::ReadFile(ini.Path());
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "cache\r\npath\t" + dir.File("other.dat") +
                  "\r\nmax_size\t20000\r\nenabled\t0\r\n\r\n");
}

TEST(DataCache, KeepsRecordsWholeWhileManyThreadsUseIt) {
    TempDir dir;
    CDataCache cache(dir.File("cache.dat"));
    cache.SetMaxSizeKb(100);  // 49 records: trimming all the time
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 12; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 3000; ++i) {
                // Every count carries the record's number: a torn or mixed record shows.
                const int32_t n = t * 10000 + i;
                ScanRecord stored =
                    Record("/" + std::to_string(t) + "/" + std::to_string(i % 60), n, true);
                std::fill(std::begin(stored.bitrate_index_counts),
                          std::end(stored.bitrate_index_counts), n);
                cache.Store(stored);
                ScanRecord out = ZeroRecord();
                if (cache.Lookup(RecordPath(stored), stored.status, out, -1) &&
                    std::count(std::begin(out.bitrate_index_counts),
                               std::end(out.bitrate_index_counts), uint32_t(out.frames)) != 16) {
                    ++torn;
                }
                if (t == 0 && i % 20 == 0) {  // as the owner's thread does meanwhile
                    cache.Save();
                    cache.SettingsToPages();
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(cache.RecordCount(), 49u);
}

// Checks whose every field tells them apart from those of another `n`.
FileChecks Checks(uint32_t n) {
    FileChecks checks;
    checks.walked = 1;
    checks.crc_frames = n;
    checks.crc_errors = n + 1;
    checks.junk_before_audio = n + 2;
    checks.audio_bytes = uint64_t{n} << 33;
    checks.bandwidth_hz = 16000.5f + static_cast<float>(n);
    checks.upscale = 1;
    checks.player_seconds = 3.25f;
    checks.other_layer_frames = n + 3;
    checks.other_layer_kind = 6;
    checks.other_layer_runs = static_cast<uint16_t>(n + 4);
    return checks;
}

// The checks that answer a lookup asking for them, nothing when none do.
std::optional<FileChecks> FoundChecks(CDataCache& cache, const std::string& path, int limit = -1,
                                      int32_t mtime = 1, int32_t size = 4096) {
    ScanRecord out = Record("", 0, false, mtime, size);
    FileChecks checks;
    if (!cache.Lookup(path, out.status, out, limit, &checks)) {
        return std::nullopt;
    }
    return checks;
}

TEST(DataCacheChecks, AnswerOnlyLookupsOfTheRecordTheyWereStoredWith) {
    TempDir dir;
    CDataCache cache(dir.File("cache.dat"));
    const FileChecks a = Checks(10);
    cache.Store(Record("/m/a", 1000, false), &a);
    cache.Store(Record("/m/b", 50, true));
    EXPECT_EQ(FoundChecks(cache, "/m/a", 1000), a) << "stored with checks";
    EXPECT_EQ(Found(cache, "/m/a", 1000), 1000) << "a lookup without checks";
    EXPECT_EQ(FoundChecks(cache, "/m/b"), std::nullopt) << "stored without checks";

    // The same file again, shorter but with checks where the kept record has
    // none: taken. Shorter again with other checks: the kept ones stay.
    const FileChecks b = Checks(20);
    cache.Store(Record("/m/b", 40, false), &b);
    EXPECT_EQ(FoundChecks(cache, "/m/b", 40), b) << "checks brought by a shorter scan";
    cache.Store(Record("/m/b", 30, false), &a);
    EXPECT_EQ(FoundChecks(cache, "/m/b", 40), b) << "a shorter scan over one with checks";
    // An unchanged file scanned further without checks: its record without
    // the checks of the shorter scan.
    cache.Store(Record("/m/a", 2000, false));
    EXPECT_EQ(Found(cache, "/m/a", 2000), 2000) << "the longer scan's record";
    EXPECT_EQ(FoundChecks(cache, "/m/a", 1000), std::nullopt) << "checks of the shorter scan";
    // A changed file stored without checks hands out none of the old state's.
    cache.Store(Record("/m/b", 40, false, 2));
    EXPECT_EQ(FoundChecks(cache, "/m/b", 40, 2), std::nullopt) << "the changed file";
    EXPECT_EQ(FoundChecks(cache, "/m/b", 40, 1), std::nullopt) << "the old state";
}

TEST(DataCacheChecks, KeepTheCacheFileAsOlderBuildsWriteItAndTravelBesideIt) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    const std::string beside = path + ".checks";
    const FileChecks a = Checks(1);
    const FileChecks c = Checks(3);
    {
        CDataCache plain(dir.File("plain.dat"));
        plain.Store(Record("/m/a", 10, true));
        plain.Store(Record("/m/b", 10, true));
        ASSERT_TRUE(plain.Save());
        EXPECT_FALSE(std::filesystem::exists(dir.File("plain.dat.checks")))
            << "no checks, no file beside the cache";
        CDataCache cache(path);
        cache.Store(Record("/m/a", 10, true), &a);
        cache.Store(Record("/m/b", 10, true));
        ASSERT_TRUE(cache.Save());
        EXPECT_EQ(test::ReadFile(path), test::ReadFile(dir.File("plain.dat")))
            << "the cache file's bytes are those of a cache without checks";
        // Another run adds its own; the save merges both files.
        CDataCache other(path);
        other.Store(Record("/m/c", 10, true), &c);
        ASSERT_TRUE(other.Save());
    }
    CDataCache loaded(path);
    loaded.Load();
    EXPECT_EQ(FoundChecks(loaded, "/m/a"), a) << "this run's checks";
    EXPECT_EQ(FoundChecks(loaded, "/m/c"), c) << "the other run's checks";
    EXPECT_EQ(FoundChecks(loaded, "/m/b"), std::nullopt) << "a record stored without";

    // A cache an older build wrote has no checks beside it: lookups that ask
    // for checks miss (the file is scanned again), the others are answered.
    std::filesystem::remove(beside);
    loaded.Load();
    EXPECT_EQ(loaded.RecordCount(), 3u) << "records without their checks";
    EXPECT_EQ(FoundChecks(loaded, "/m/a"), std::nullopt) << "checks asked of an older cache";
    EXPECT_EQ(Found(loaded, "/m/a"), 10) << "no checks asked of an older cache";
}

TEST(DataCacheChecks, AreDroppedWhenTheirFileIsDamagedOrTheirRecordReplaced) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    const std::string beside = path + ".checks";
    const FileChecks a = Checks(1);
    CDataCache cache(path);
    cache.Store(Record("/m/a", 10, true), &a);
    cache.Store(Record("/m/b", 10, true), &a);
    ASSERT_TRUE(cache.Save());
    const std::vector<uint8_t> valid = test::ReadFile(beside);
    ASSERT_EQ(valid.size(), 24u + 2 * 388u);

    // Whether /m/a loads with checks from these bytes beside the cache; the
    // records load in any case.
    auto answered = [&](const std::vector<uint8_t>& bytes) {
        test::WriteFile(beside, bytes);
        CDataCache again(path);
        again.Load();
        EXPECT_EQ(again.RecordCount(), 2u) << "records load whatever the checks file holds";
        return FoundChecks(again, "/m/a").has_value();
    };
    auto patched = [&](size_t at) {
        std::vector<uint8_t> bytes = valid;
        bytes[at] ^= 0x10;
        return bytes;
    };
    EXPECT_TRUE(answered(valid)) << "the file as written";
    EXPECT_FALSE(answered({valid.begin(), valid.end() - 1})) << "cut by one byte";
    std::vector<uint8_t> longer = valid;
    longer.push_back(0);
    EXPECT_FALSE(answered(longer)) << "a byte after the entries";
    EXPECT_FALSE(answered(patched(0))) << "another magic";
    EXPECT_FALSE(answered(patched(24 + 328 + 300))) << "a bit changed in the checks";

    // An older build that scanned /m/a again (another time) and /m/b further
    // (the same file state) rewrites the cache file only: the checks stay
    // beside it but belong to neither new record.
    test::WriteFile(beside, valid);
    test::WriteFile(path, CacheFile({Record("/m/a", 10, true, 2), Record("/m/b", 12, true)}));
    CDataCache after_older(path);
    after_older.Load();
    EXPECT_EQ(FoundChecks(after_older, "/m/a", -1, 2), std::nullopt) << "a changed file";
    EXPECT_EQ(FoundChecks(after_older, "/m/b"), std::nullopt) << "a record scanned further";
    EXPECT_EQ(Found(after_older, "/m/b"), 12) << "the older build's record";
}

TEST(DataCacheChecks, GoWithAPurge) {
    TempDir dir;
    const std::string path = dir.File("cache.dat");
    const FileChecks a = Checks(1);
    CDataCache cache(path);
    cache.Store(Record("/m/a", 10, true), &a);
    ASSERT_TRUE(cache.Save());
    cache.Clear();
    cache.Store(Record("/m/a", 10, true));  // scanned again, without checks
    ASSERT_TRUE(cache.Save());
    EXPECT_FALSE(std::filesystem::exists(path + ".checks")) << "no checks left to keep";
    cache.Load();
    EXPECT_EQ(FoundChecks(cache, "/m/a"), std::nullopt) << "purged checks";
}

}  // namespace
}  // namespace vandrel
