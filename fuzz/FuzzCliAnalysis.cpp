// The command-line tool's whole analysis of one file on disk: the probe of
// its kind, the scan with or without a frame limit, the music CRC, the
// analysis cache's answer for the same file, the texts, and every output
// format with the report. Covers the paths between the parsers.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "FuzzSupport.h"
#include "cli/Analysis.h"
#include "cli/Output.h"
#include "engine/core/RecordCache.h"
#include "engine/media/MediaFileRegistry.h"
#include "store/DataCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    using namespace vandrel::cli;
    if (size < 1) {
        return 0;
    }
    // The first byte chooses the file's name and the options; the rest is the file.
    const uint8_t choice = data[0];
    static const char* const kNames[] = {"fuzz.mp3", "fuzz.mpc", "fuzz.wav", "fuzz.mp2"};
    const std::string path = fuzz::WriteTempFile(data + 1, size - 1, kNames[choice & 3]);
    AnalysisOptions analysis{.frames = (choice & 4) != 0 ? 20 : 0,
                             .headers_only = (choice & 8) != 0,
                             .music_crc = (choice & 16) != 0,
                             .mono_quality = (choice & 32) != 0};

    static const MediaFileTypesScope media_types;
    CDataCache cache("");  // in memory only: never saved
    const AnalysisCacheScope cache_scope(&cache);
    const FileResult result = AnalyseFile(path, analysis);
    if (!analysis.music_crc) {
        // A second analysis is answered by the cache and must read the same.
        const FileResult again = AnalyseFile(path, analysis);
        FUZZ_CHECK(again.failure == result.failure);
        FUZZ_CHECK(again.texts == result.texts);
    }

    Options output;
    output.all_columns = true;
    output.record_hex = (choice & 64) != 0;
    output.music_crc = analysis.music_crc;
    const auto columns = ResolveColumns(output);
    const auto* ids = std::get_if<std::vector<int32_t>>(&columns);
    FUZZ_CHECK(ids != nullptr);
    for (const OutputFormat format :
         {OutputFormat::kTable, OutputFormat::kTsv, OutputFormat::kCsv, OutputFormat::kJson}) {
        output.format = format;
        output.report = format == OutputFormat::kTable && (choice & 128) != 0;
        std::ostringstream text;
        const auto writer = MakeResultWriter(output, *ids, text);
        writer->Add(result);
        writer->Finish();
    }
    return 0;
}
