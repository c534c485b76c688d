#include "engine/audio/RealFft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace vandrel {

namespace {

// Guards FFTW's planner, which keeps process-wide tables while it plans and
// when a plan is destroyed.
std::mutex& PlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

RealFft::RealFft(int size) : size_(size) {
    const auto count = static_cast<size_t>(size);
    input_ = fftwf_alloc_real(count);
    output_ = fftwf_alloc_complex(count / 2 + 1);
    if (input_ != nullptr && output_ != nullptr) {
        // FFTW_ESTIMATE picks a plan from heuristics in microseconds and leaves
        // the buffers alone; measuring plans would cost more than a whole
        // file's transforms save. The out-of-place plan keeps the input.
        const std::lock_guard lock(PlannerMutex());
        plan_ = fftwf_plan_dft_r2c_1d(size, input_, output_, FFTW_ESTIMATE);
    }
    if (plan_ == nullptr) {
        Free();
        throw std::bad_alloc();
    }
}

RealFft::~RealFft() {
    Free();
}

void RealFft::Free() {
    if (plan_ != nullptr) {
        const std::lock_guard lock(PlannerMutex());
        fftwf_destroy_plan(plan_);
        plan_ = nullptr;
    }
    fftwf_free(input_);
    fftwf_free(output_);
    input_ = nullptr;
    output_ = nullptr;
}

void RealFft::PowerSpectrum(std::span<float> power) {
    fftwf_execute(plan_);
    const size_t count = std::min(power.size(), static_cast<size_t>(bins()));
    for (size_t k = 0; k < count; ++k) {
        power[k] = output_[k][0] * output_[k][0] + output_[k][1] * output_[k][1];
    }
}

}  // namespace vandrel
