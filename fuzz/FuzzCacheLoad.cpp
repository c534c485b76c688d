// The analysis cache's file reader. Every record it keeps is asked for by its
// own path and status and goes where a cached answer goes: the list's texts,
// the text page and the "Copy Info" report, both as stored and as a scan
// answered from the cache finishes it (bitrate and length figures). Then a
// store and a save.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "FuzzSupport.h"
#include "engine/core/RecordCache.h"
#include "engine/media/Mp3File.h"
#include "engine/verdicts/TextReports.h"
#include "store/DataCache.h"

namespace {

using namespace vandrel;

void BuildTexts(const ScanRecord& record) {
    for (const bool mono_quality : {false, true}) {
        AttributeTexts texts;
        texts[kSlotName] = std::string(RecordPath(record));
        BuildAttributeTexts(texts, record, mono_quality);
        BuildInfoReport(texts, record);
    }
    TextPageData page;
    RegisterTextPageCheckBoxes(page);
    FillTextPage(page, record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteTempFile(data, size, "cache.dat");
    CDataCache cache(path);
    cache.SetMaxSizeKb(100000);  // every record the input holds
    cache.Load();
    {
        const AnalysisCacheScope scope(&cache);
        const std::span<const uint8_t> input(data, size);
        for (size_t at = kCacheHeaderSize; at + kScanRecordSize <= size; at += kScanRecordSize) {
            const ScanRecord image = FromImage(input.subspan(at).first<kScanRecordSize>());
            const std::string asked(RecordPath(image));
            if (!FitsRecordPath(asked)) {
                continue;
            }
            // Frame limit 0: any record of the unchanged file answers.
            ScanRecord stored = ZeroRecord();
            stored.status = image.status;
            if (!cache.Lookup(asked, stored.status, stored, 0)) {
                continue;
            }
            FUZZ_CHECK(IsPlausibleRecord(stored));
            BuildTexts(stored);
            ScanRecord answered = ZeroRecord();
            answered.status = image.status;
            FUZZ_CHECK(AnswerFromCache(asked, answered, 0, nullptr));
            BuildTexts(answered);
        }
    }
    ScanRecord record = ZeroRecord();
    record.kind = 1;
    CopyTextField(record.path, "/music/a.mp3");
    record.whole_file_scanned = 1;
    ScanRecord found = ZeroRecord();
    cache.Lookup("/music/a.mp3", record.status, found, -1);
    cache.Store(record);
    cache.Save();
    return 0;
}
