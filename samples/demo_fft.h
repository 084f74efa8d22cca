// The demo generator's one use of FFTW: the two-dimensional transform of a real n x n
// image (single precision, unnormalised) and its inverse, over buffers of its own.
//
// The spectrum holds n rows of n/2 + 1 complex values in FFTW's order: row r holds
// k = r for r < n/2 and k = r - n above; element h of a row holds h = 0 .. n/2.
#pragma once

#include <complex>
#include <cstddef>

struct fftwf_plan_s;

namespace demo {

class Fft2 {
 public:
  explicit Fft2(int n);
  ~Fft2();
  Fft2(const Fft2&) = delete;
  Fft2& operator=(const Fft2&) = delete;

  int size() const { return n_; }
  std::size_t reals() const;      // n * n
  std::size_t complexes() const;  // n * (n/2 + 1)
  float* real() { return real_; }
  std::complex<float>* spectrum() { return spectrum_; }

  void forward();   // real() to spectrum(); real() is kept
  void backward();  // spectrum() to real(); spectrum() is overwritten

 private:
  int n_;
  float* real_;
  std::complex<float>* spectrum_;
  fftwf_plan_s* forward_plan_;
  fftwf_plan_s* backward_plan_;
};

}  // namespace demo
