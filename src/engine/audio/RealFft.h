#pragma once

#include <span>

// FFTW's plan, opaque outside RealFft.cpp.
struct fftwf_plan_s;

namespace vandrel {

// The power spectrum of real samples through FFTW (single precision): one plan
// for the transform's size, made once when the object is made and used for
// every frame after.
//
// FFTW's planner is not thread-safe: making and destroying plans goes through
// one mutex shared by the whole process, the only process-wide state of the
// spectrogram code. Running a plan needs no lock, so objects on different
// threads transform at the same time.
class RealFft {
public:
    // `size` samples in (even, at least 2); size / 2 + 1 bins out. Throws
    // std::bad_alloc when FFTW cannot make the buffers or the plan.
    explicit RealFft(int size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    int size() const { return size_; }
    int bins() const { return size_ / 2 + 1; }

    // The samples to transform: size() of them, written by the caller.
    std::span<float> input() { return {input_, static_cast<size_t>(size_)}; }
    // Transforms input() and writes |X[k]|^2 of each bin k to `power` (its
    // first bins() values). input() keeps its samples.
    void PowerSpectrum(std::span<float> power);

private:
    void Free();

    int size_;
    float* input_ = nullptr;
    float (*output_)[2] = nullptr;  // bins() complex values, real then imaginary part
    fftwf_plan_s* plan_ = nullptr;
};

}  // namespace vandrel
