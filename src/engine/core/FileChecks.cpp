#include "engine/core/FileChecks.h"

#include <bit>

#include "engine/io/ByteOrder.h"

namespace vandrel {

FileChecksImage ToImage(const FileChecks& checks) {
    FileChecksImage image{};
    const std::span<uint8_t> out(image);
    StoreLe32(out.subspan(0), checks.walked);
    StoreLe32(out.subspan(4), checks.crc_frames);
    StoreLe32(out.subspan(8), checks.crc_errors);
    StoreLe32(out.subspan(12), checks.crc_unchecked);
    StoreLe32(out.subspan(16), checks.junk_before_audio);
    StoreLe32(out.subspan(20), checks.unknown_after_audio);
    StoreLe32(out.subspan(24), static_cast<uint32_t>(checks.audio_bytes));
    StoreLe32(out.subspan(28), static_cast<uint32_t>(checks.audio_bytes >> 32));
    StoreLe32(out.subspan(32), std::bit_cast<uint32_t>(checks.bandwidth_hz));
    StoreLe32(out.subspan(36), std::bit_cast<uint32_t>(checks.reach_hz));
    StoreLe32(out.subspan(40), checks.bandwidth_granules);
    StoreLe32(out.subspan(44), static_cast<uint32_t>(checks.upscale));
    StoreLe32(out.subspan(48), std::bit_cast<uint32_t>(checks.player_seconds));
    StoreLe32(out.subspan(52), checks.other_layer_frames);
    StoreLe16(out.subspan(56), checks.other_layer_kind);
    StoreLe16(out.subspan(58), checks.other_layer_runs);
    StoreLe32(out.subspan(60), std::bit_cast<uint32_t>(checks.median_hz));
    StoreLe32(out.subspan(64), std::bit_cast<uint32_t>(checks.edge_share));
    StoreLe32(out.subspan(68), std::bit_cast<uint32_t>(checks.edge_drop_db));
    StoreLe32(out.subspan(72), checks.spectrum_granules);
    StoreLe32(out.subspan(76), checks.spectrum_errors);
    StoreLe32(out.subspan(80), std::bit_cast<uint32_t>(checks.cliff_hz));
    StoreLe32(out.subspan(84), std::bit_cast<uint32_t>(checks.cliff_db));
    StoreLe32(out.subspan(88), std::bit_cast<uint32_t>(checks.firm_edge_hz));
    StoreLe32(out.subspan(92), std::bit_cast<uint32_t>(checks.firm_edge_share));
    StoreLe32(out.subspan(96), checks.itunes_gap);
    StoreLe32(out.subspan(100), checks.itunes_delay);
    StoreLe32(out.subspan(104), checks.itunes_padding);
    StoreLe32(out.subspan(108), checks.audio_hashed);
    StoreLe32(out.subspan(112), static_cast<uint32_t>(checks.audio_hash));
    StoreLe32(out.subspan(116), static_cast<uint32_t>(checks.audio_hash >> 32));
    return image;
}

FileChecks ChecksFromImage(std::span<const uint8_t, kFileChecksImageSize> image) {
    const std::span<const uint8_t> in(image);
    FileChecks checks;
    checks.walked = LoadLe32(in.subspan(0));
    checks.crc_frames = LoadLe32(in.subspan(4));
    checks.crc_errors = LoadLe32(in.subspan(8));
    checks.crc_unchecked = LoadLe32(in.subspan(12));
    checks.junk_before_audio = LoadLe32(in.subspan(16));
    checks.unknown_after_audio = LoadLe32(in.subspan(20));
    checks.audio_bytes = LoadLe64(in.subspan(24));
    checks.bandwidth_hz = std::bit_cast<float>(LoadLe32(in.subspan(32)));
    checks.reach_hz = std::bit_cast<float>(LoadLe32(in.subspan(36)));
    checks.bandwidth_granules = LoadLe32(in.subspan(40));
    checks.upscale = static_cast<int32_t>(LoadLe32(in.subspan(44)));
    checks.player_seconds = std::bit_cast<float>(LoadLe32(in.subspan(48)));
    checks.other_layer_frames = LoadLe32(in.subspan(52));
    checks.other_layer_kind = LoadLe16(in.subspan(56));
    checks.other_layer_runs = LoadLe16(in.subspan(58));
    checks.median_hz = std::bit_cast<float>(LoadLe32(in.subspan(60)));
    checks.edge_share = std::bit_cast<float>(LoadLe32(in.subspan(64)));
    checks.edge_drop_db = std::bit_cast<float>(LoadLe32(in.subspan(68)));
    checks.spectrum_granules = LoadLe32(in.subspan(72));
    checks.spectrum_errors = LoadLe32(in.subspan(76));
    checks.cliff_hz = std::bit_cast<float>(LoadLe32(in.subspan(80)));
    checks.cliff_db = std::bit_cast<float>(LoadLe32(in.subspan(84)));
    checks.firm_edge_hz = std::bit_cast<float>(LoadLe32(in.subspan(88)));
    checks.firm_edge_share = std::bit_cast<float>(LoadLe32(in.subspan(92)));
    checks.itunes_gap = LoadLe32(in.subspan(96));
    checks.itunes_delay = LoadLe32(in.subspan(100));
    checks.itunes_padding = LoadLe32(in.subspan(104));
    checks.audio_hashed = LoadLe32(in.subspan(108));
    checks.audio_hash = LoadLe64(in.subspan(112));
    return checks;
}

}  // namespace vandrel
