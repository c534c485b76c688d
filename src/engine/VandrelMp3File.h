#pragma once

#include <memory>

#include "Mp3File.h"

namespace vandrel {

// The analysing MPEG audio file: the scanner of CMp3File plus the statistics
// and pages the Details dialog shows.
class CVandrelMp3File : public CMp3File {
public:
    CVandrelMp3File() = default;
    CVandrelMp3File(const CVandrelMp3File& other) = default;
    CVandrelMp3File& operator=(const CVandrelMp3File&) = delete;

    std::unique_ptr<CMediaFileInterface> Clone() const override;
};

} // namespace vandrel
