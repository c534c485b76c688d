// The whole analysis of an MPEG audio file held in memory: tags, VBR headers,
// the frame walk with its series, the music CRC, the texts and the report.
#include <cstddef>
#include <cstdint>

#include "engine/core/ScanError.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/TextReports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    CVandrelMp3File file;
    file.OpenMemory("fuzz.mp3", std::vector<uint8_t>(data, data + size));
    ScanRecord record = ZeroRecord();
    FrameSeries series;
    try {
        if (file.Scan(record, {.series = &series, .cache = CacheLookup::kSkip}) == 0) {
            return 0;
        }
    } catch (const ScanError&) {
        return 0;
    }
    if (record.xing.has_lame_tag != 0) {
        file.ComputeMusicCrc(record, nullptr);
    }
    AttributeTexts texts;
    texts[kSlotName] = "fuzz.mp3";
    record.quality_class = BuildAttributeTexts(texts, record, true);
    BuildInfoReport(texts, record);
    TextPageData page;
    RegisterTextPageCheckBoxes(page);
    FillTextPage(page, record);
    file.SetScanResult(record);
    return 0;
}
