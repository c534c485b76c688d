#pragma once

#include <memory>
#include <string>

#include "engine/core/ScanRecord.h"
#include "work/Messages.h"
#include "work/OneShotWorker.h"

namespace vandrel {

// The tag viewer's music CRC check of one file on a one-shot worker. It opens
// the file itself, works on its own copy of the record and posts to `target`:
//   kMsgProgress (wparam: percent done, 0 to 100) whenever the share grows;
//   kMsgWorkDone last: kDone, or kFailed when the file could not be opened
//   or its first frames have no valid header, with the record (its music CRC
//   fields filled in, music_crc_computed 0 when the check failed) as the
//   payload; kStopped without a record when the check was cancelled.
// Cancel stops the check after the chunk it is reading. The destructor
// cancels and waits for the thread.
class CTagThread : public COneShotWorker {
public:
    void Start(std::shared_ptr<MessageTarget> target, std::string path, const ScanRecord& record);
};

}  // namespace vandrel
