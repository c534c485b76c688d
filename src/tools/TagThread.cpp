#include "tools/TagThread.h"

#include <exception>
#include <utility>

#include "engine/media/VandrelMp3File.h"
#include "store/Log.h"

namespace vandrel {

namespace {

WorkResult RunMusicCrcCheck(WorkChannel& channel, const std::string& path, ScanRecord record) {
    // What the record may say about an earlier check does not count: only a
    // check that ran to its end here fills these in.
    record.xing.music_crc_ok = 0;
    record.xing.music_crc_computed = 0;
    try {
        CVandrelMp3File file;
        if (file.Open(path, "rb")) {
            file.ComputeMusicCrc(record, &channel);
            file.Close();
        } else {
            Log([&] { return "CTagThread: cannot open " + path; });
        }
    } catch (const std::exception& e) {
        // A read error: the check failed, which the page reports.
        Log([&] { return "CTagThread: " + path + ": " + e.what(); });
        record.xing.music_crc_computed = 0;
    }
    if (channel.StopRequested()) {
        return {WorkOutcome::kStopped, {}};
    }
    const WorkOutcome outcome =
        record.xing.music_crc_computed != 0 ? WorkOutcome::kDone : WorkOutcome::kFailed;
    return {outcome, std::make_unique<ScanRecord>(record)};
}

}  // namespace

void CTagThread::Start(std::shared_ptr<MessageTarget> target, std::string path,
                       const ScanRecord& record) {
    COneShotWorker::Start(std::move(target),
                          [path = std::move(path), record](WorkChannel& channel) {
                              return RunMusicCrcCheck(channel, path, record);
                          });
}

}  // namespace vandrel
