#include "engine/frame/FrameHeader.h"

namespace vandrel {

int32_t SamplesPerFrame(int is_mpeg1, int layer) {
    if (layer == 1) {
        return 384;
    }
    if (layer == 2 || is_mpeg1 != 0) {
        return 1152;
    }
    return 576;
}

std::string_view CheckFrameAgainstReference(FrameReference& reference, const FrameHeader& header) {
    if (header.layer != reference.layer) {
        return "Layer error";
    }
    if (header.channels != reference.channels) {
        reference.channels = header.channels;
        return "Channel mode error";
    }
    if (header.sample_rate != reference.sample_rate) {
        reference.sample_rate = header.sample_rate;
        return "Frequency error";
    }
    if (header.bitrate_index == 0) {
        return "Freeformat frame";
    }
    return {};
}

std::string_view ChannelModeName(int mode) {
    switch (mode) {
    case 0:
        return "stereo";
    case 1:
        return "joint stereo";
    case 2:
        return "dual channel";
    case 3:
        return "mono";
    default:
        return {};
    }
}

}  // namespace vandrel
