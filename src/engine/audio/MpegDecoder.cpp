#include "engine/audio/MpegDecoder.h"

#include <mpg123.h>

#include <cstring>

#include "engine/core/ScanError.h"

namespace vandrel {

// Since API version 46 a decoder needs no mpg123_init() first, which was
// process-wide and not thread-safe.
static_assert(MPG123_API_VERSION >= 46, "libmpg123 1.27.0 or newer is needed");

MpegDecoder::MpegDecoder() {
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);  // the fastest decoder this processor runs
    if (handle_ == nullptr) {
        throw ScanError(std::string("The MPEG audio decoder cannot start: ") +
                        mpg123_plain_strerror(error));
    }
    // Mono floats at the stream's own rate: stereo is mixed down inside the
    // decoder, before its synthesis, which then runs once instead of twice.
    // No messages on standard error; junk between frames is searched through
    // however long it is (a damaged file goes on after its damage).
    mpg123_param2(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_MONO_MIX, 0);
    mpg123_param2(handle_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
    mpg123_param2(handle_, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
        mpg123_format(handle_, rates[i], MPG123_MONO, MPG123_ENC_FLOAT_32);
    }
    if (mpg123_open_feed(handle_) != MPG123_OK) {
        Fail("The MPEG audio decoder cannot start");
    }
}

MpegDecoder::~MpegDecoder() {
    mpg123_delete(handle_);
}

void MpegDecoder::Fail(const std::string& what) {
    throw ScanError(what + ": " + mpg123_strerror(handle_));
}

void MpegDecoder::Feed(std::span<const uint8_t> bytes, const Deliver& deliver) {
    if (!bytes.empty() && mpg123_feed(handle_, bytes.data(), bytes.size()) != MPG123_OK) {
        Fail("The MPEG audio cannot be decoded");
    }
    DecodeFrames(deliver);
}

void MpegDecoder::DecodeFrames(const Deliver& deliver) {
    for (;;) {
        off_t frame = 0;
        unsigned char* audio = nullptr;
        size_t size = 0;
        const int result = mpg123_decode_frame(handle_, &frame, &audio, &size);
        if (result == MPG123_NEW_FORMAT) {
            // The first frame's format, or a new one: a joined file may
            // change its rate, and its later frames come with theirs.
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(handle_, &rate, &channels, &encoding);
            sample_rate_ = static_cast<int>(rate);
            continue;
        }
        if (result == MPG123_NEED_MORE || result == MPG123_DONE) {
            return;
        }
        if (result != MPG123_OK) {
            Fail("The MPEG audio cannot be decoded");
        }
        ++frames_;
        if (size == 0 || sample_rate_ <= 0) {
            continue;
        }
        // The decoder's buffer holds the floats as bytes.
        samples_.resize(size / sizeof(float));
        std::memcpy(samples_.data(), audio, samples_.size() * sizeof(float));
        deliver(sample_rate_, samples_);
    }
}

}  // namespace vandrel
