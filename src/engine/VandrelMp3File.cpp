#include "VandrelMp3File.h"

namespace vandrel {

std::unique_ptr<CMediaFileInterface> CVandrelMp3File::Clone() const {
    return std::make_unique<CVandrelMp3File>(*this);
}

} // namespace vandrel
