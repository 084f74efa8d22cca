#include "samples/demo_fft.h"

#include <fftw3.h>

#include <new>

namespace demo {

namespace {
fftwf_complex* as_fftw(std::complex<float>* p) {
  return reinterpret_cast<fftwf_complex*>(p);
}
}  // namespace

Fft2::Fft2(int n) : n_(n) {
  real_ = static_cast<float*>(fftwf_malloc(sizeof(float) * reals()));
  spectrum_ = static_cast<std::complex<float>*>(fftwf_malloc(sizeof(fftwf_complex) * complexes()));
  if (real_ == nullptr || spectrum_ == nullptr) {
    fftwf_free(real_);
    fftwf_free(spectrum_);
    throw std::bad_alloc();
  }
  forward_plan_ = fftwf_plan_dft_r2c_2d(n, n, real_, as_fftw(spectrum_), FFTW_ESTIMATE);
  backward_plan_ = fftwf_plan_dft_c2r_2d(n, n, as_fftw(spectrum_), real_, FFTW_ESTIMATE);
}

Fft2::~Fft2() {
  fftwf_destroy_plan(forward_plan_);
  fftwf_destroy_plan(backward_plan_);
  fftwf_free(real_);
  fftwf_free(spectrum_);
}

std::size_t Fft2::reals() const {
  return static_cast<std::size_t>(n_) * n_;
}

std::size_t Fft2::complexes() const {
  return static_cast<std::size_t>(n_) * (n_ / 2 + 1);
}

void Fft2::forward() {
  fftwf_execute(forward_plan_);
}

void Fft2::backward() {
  fftwf_execute(backward_plan_);
}

}  // namespace demo
