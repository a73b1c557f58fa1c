// A 2048-point real FFT as a 1024-point complex FFT of the even and odd
// samples, followed by the usual split. The complex FFT is a radix-4
// Stockham transform (no bit reversal) on separate real and imaginary
// arrays, four lanes at a time in GCC's portable vector types.
#include "capturelib/fft.h"

#include <cstring>

#include "capturelib/turn_trig.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#else
#include <cmath>
#endif

namespace {

typedef float Lanes __attribute__((vector_size(16)));

constexpr size_t ComplexSize = SpectrumSamples / 2;  // 1024 = 4^5
constexpr size_t FirstQuarter = ComplexSize / 4;

Lanes Load(const float* from) {
  Lanes lanes;
  std::memcpy(&lanes, from, sizeof lanes);
  return lanes;
}

void Store(float* to, Lanes lanes) { std::memcpy(to, &lanes, sizeof lanes); }

Lanes Broadcast(float value) { return Lanes{value, value, value, value}; }

struct alignas(16) FftTables {
  float window_even[ComplexSize];  // Hann window / 32768 at even and odd n
  float window_odd[ComplexSize];
  float twiddle_real[ComplexSize];  // e^(-2 pi i j/1024)
  float twiddle_imaginary[ComplexSize];
  // The first pass runs across p, so its twiddles w^p, w^2p, w^3p lie in rows.
  float first_real[3][FirstQuarter];
  float first_imaginary[3][FirstQuarter];
  float split_cos[ComplexSize];  // cos and sin of 2 pi k/2048
  float split_sin[ComplexSize];
};

FftTables MakeTables() {
  FftTables tables;
  for (uint32_t n = 0; n < ComplexSize; ++n) {
    tables.window_even[n] = static_cast<float>(HannWindow(2 * n) / 32768.0);
    tables.window_odd[n] = static_cast<float>(HannWindow(2 * n + 1) / 32768.0);
    const CosSin twiddle = TurnCosSin(n, ComplexSize);
    tables.twiddle_real[n] = static_cast<float>(twiddle.cos);
    tables.twiddle_imaginary[n] = static_cast<float>(-twiddle.sin);
    const CosSin split = TurnCosSin(n, SpectrumSamples);
    tables.split_cos[n] = static_cast<float>(split.cos);
    tables.split_sin[n] = static_cast<float>(split.sin);
  }
  for (uint32_t p = 0; p < FirstQuarter; ++p) {
    for (uint32_t power = 1; power <= 3; ++power) {
      tables.first_real[power - 1][p] = tables.twiddle_real[power * p];
      tables.first_imaginary[power - 1][p] = tables.twiddle_imaginary[power * p];
    }
  }
  return tables;
}

const FftTables& Tables() {
  static const FftTables tables = MakeTables();
  return tables;
}

// The radix-4 butterfly over four lanes: reads a, b, c, d at from[0..3],
// writes a+b+c+d, w1 (a-ib-c+id), w2 (a-b+c-d), w3 (a+ib-c-id) to to[0..3].
// Written out in full: GCC's -O2 keeps these in registers only without
// arrays or inner loops.
struct Quad {
  Lanes r0, i0, r1, i1, r2, i2, r3, i3;
};

inline Quad RadixFour(Lanes ar, Lanes ai, Lanes br, Lanes bi, Lanes cr, Lanes ci, Lanes dr,
                      Lanes di) {
  const Lanes sum_ac_r = ar + cr, sum_ac_i = ai + ci;
  const Lanes diff_ac_r = ar - cr, diff_ac_i = ai - ci;
  const Lanes sum_bd_r = br + dr, sum_bd_i = bi + di;
  const Lanes diff_bd_r = br - dr, diff_bd_i = bi - di;
  return {sum_ac_r + sum_bd_r, sum_ac_i + sum_bd_i,    //
          diff_ac_r + diff_bd_i, diff_ac_i - diff_bd_r,  //
          sum_ac_r - sum_bd_r, sum_ac_i - sum_bd_i,      //
          diff_ac_r - diff_bd_i, diff_ac_i + diff_bd_r};
}

inline void Twiddle(Lanes& real, Lanes& imaginary, Lanes w_real, Lanes w_imaginary) {
  const Lanes r = real * w_real - imaginary * w_imaginary;
  imaginary = real * w_imaginary + imaginary * w_real;
  real = r;
}

inline void Transpose(Lanes& a, Lanes& b, Lanes& c, Lanes& d) {
  const Lanes ab_low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const Lanes ab_high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const Lanes cd_low = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const Lanes cd_high = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(ab_low, cd_low, 0, 1, 4, 5);
  b = __builtin_shufflevector(ab_low, cd_low, 2, 3, 6, 7);
  c = __builtin_shufflevector(ab_high, cd_high, 0, 1, 4, 5);
  d = __builtin_shufflevector(ab_high, cd_high, 2, 3, 6, 7);
}

// First pass (length 1024, stride 1): four values of p at a time, the four
// outputs of each butterfly transposed into place.
void FirstPass(const FftTables& tables, const float* xr, const float* xi, float* yr, float* yi) {
  constexpr size_t m = FirstQuarter;
  for (size_t p = 0; p < m; p += 4) {
    Quad q = RadixFour(Load(xr + p), Load(xi + p), Load(xr + p + m), Load(xi + p + m),
                       Load(xr + p + 2 * m), Load(xi + p + 2 * m), Load(xr + p + 3 * m),
                       Load(xi + p + 3 * m));
    Twiddle(q.r1, q.i1, Load(tables.first_real[0] + p), Load(tables.first_imaginary[0] + p));
    Twiddle(q.r2, q.i2, Load(tables.first_real[1] + p), Load(tables.first_imaginary[1] + p));
    Twiddle(q.r3, q.i3, Load(tables.first_real[2] + p), Load(tables.first_imaginary[2] + p));
    Transpose(q.r0, q.r1, q.r2, q.r3);
    Transpose(q.i0, q.i1, q.i2, q.i3);
    float* const real_out = yr + 4 * p;
    float* const imaginary_out = yi + 4 * p;
    Store(real_out, q.r0), Store(real_out + 4, q.r1), Store(real_out + 8, q.r2), Store(real_out + 12, q.r3);
    Store(imaginary_out, q.i0), Store(imaginary_out + 4, q.i1), Store(imaginary_out + 8, q.i2),
        Store(imaginary_out + 12, q.i3);
  }
}

// A later pass over sub-transforms of the given length, stride >= 4.
void LaterPass(const FftTables& tables, size_t length, size_t stride, const float* xr,
               const float* xi, float* yr, float* yi) {
  const size_t m = length / 4;
  const size_t quarter = stride * m;
  const size_t table_step = ComplexSize / length;
  for (size_t p = 0; p < m; ++p) {
    const size_t j = p * table_step;
    const Lanes w1r = Broadcast(tables.twiddle_real[j]), w1i = Broadcast(tables.twiddle_imaginary[j]);
    const Lanes w2r = Broadcast(tables.twiddle_real[2 * j]), w2i = Broadcast(tables.twiddle_imaginary[2 * j]);
    const Lanes w3r = Broadcast(tables.twiddle_real[3 * j]), w3i = Broadcast(tables.twiddle_imaginary[3 * j]);
    const float* const ar = xr + stride * p;
    const float* const ai = xi + stride * p;
    float* const real_out = yr + stride * 4 * p;
    float* const imaginary_out = yi + stride * 4 * p;
    for (size_t q = 0; q < stride; q += 4) {
      Quad out = RadixFour(Load(ar + q), Load(ai + q), Load(ar + q + quarter), Load(ai + q + quarter),
                           Load(ar + q + 2 * quarter), Load(ai + q + 2 * quarter),
                           Load(ar + q + 3 * quarter), Load(ai + q + 3 * quarter));
      if (p != 0) {
        Twiddle(out.r1, out.i1, w1r, w1i);
        Twiddle(out.r2, out.i2, w2r, w2i);
        Twiddle(out.r3, out.i3, w3r, w3i);
      }
      Store(real_out + q, out.r0), Store(imaginary_out + q, out.i0);
      Store(real_out + q + stride, out.r1), Store(imaginary_out + q + stride, out.i1);
      Store(real_out + q + 2 * stride, out.r2), Store(imaginary_out + q + 2 * stride, out.i2);
      Store(real_out + q + 3 * stride, out.r3), Store(imaginary_out + q + 3 * stride, out.i3);
    }
  }
}

// The input goes into real/imaginary; the five passes ping-pong and leave
// the transform in spectrum_real/imaginary, each with one spare slot for
// Z[1024] = Z[0] in the split.
struct alignas(16) Work {
  float real[ComplexSize];
  float imaginary[ComplexSize];
  float spectrum_real[ComplexSize + 4];
  float spectrum_imaginary[ComplexSize + 4];
};

void ComplexFft(const FftTables& tables, Work& work) {
  float* const xr = work.real;
  float* const xi = work.imaginary;
  float* const yr = work.spectrum_real;
  float* const yi = work.spectrum_imaginary;
  FirstPass(tables, xr, xi, yr, yi);
  LaterPass(tables, 256, 4, yr, yi, xr, xi);
  LaterPass(tables, 64, 16, xr, xi, yr, yi);
  LaterPass(tables, 16, 64, yr, yi, xr, xi);
  LaterPass(tables, 4, 256, xr, xi, yr, yi);
}

Lanes Reverse(Lanes lanes) { return __builtin_shufflevector(lanes, lanes, 3, 2, 1, 0); }

Lanes SquareRoot(Lanes lanes) {
#if defined(__SSE__)
  return reinterpret_cast<Lanes>(_mm_sqrt_ps(reinterpret_cast<__m128>(lanes)));
#else
  return Lanes{std::sqrt(lanes[0]), std::sqrt(lanes[1]), std::sqrt(lanes[2]), std::sqrt(lanes[3])};
#endif
}

// The even/odd split: turns Z (the FFT of z[n] = x[2n] + i x[2n+1]) into
// 2 X[k] for k = 0..1023, four k at a time, and stores |X[k]| * 2/2048.
void SplitMagnitudes(const FftTables& tables, Work& work, float* magnitudes) {
  // 2 X[k] * 2/2048 = |2 X[k]| / 2048: a power of two, so no rounding.
  const Lanes scale = Broadcast(1.0f / 2048.0f);
  float* const zr = work.spectrum_real;
  float* const zi = work.spectrum_imaginary;
  zr[ComplexSize] = zr[0];
  zi[ComplexSize] = zi[0];
  for (size_t k = 0; k < ComplexSize; k += 4) {
    const Lanes ar = Load(zr + k), ai = Load(zi + k);
    // B = conj(Z[1024 - k]), lane by lane.
    const Lanes br = Reverse(Load(zr + ComplexSize - k - 3));
    const Lanes bi = -Reverse(Load(zi + ComplexSize - k - 3));
    const Lanes even_r = ar + br, even_i = ai + bi;
    const Lanes odd_r = ar - br, odd_i = ai - bi;
    const Lanes c = Load(tables.split_cos + k), s = Load(tables.split_sin + k);
    const Lanes real = even_r + c * odd_i - s * odd_r, imaginary = even_i - c * odd_r - s * odd_i;
    Store(magnitudes + k, SquareRoot(real * real + imaginary * imaginary) * scale);
  }
}

}  // namespace

float HannWindow(size_t n) {
  return static_cast<float>(0.5 - 0.5 * TurnCosSin(static_cast<uint32_t>(n), SpectrumSamples).cos);
}

void HannSpectrum(const int16_t* samples, float* magnitudes) {
  const FftTables& tables = Tables();
  Work work;
  for (size_t n = 0; n < ComplexSize; ++n) {
    work.real[n] = static_cast<float>(samples[2 * n]) * tables.window_even[n];
    work.imaginary[n] = static_cast<float>(samples[2 * n + 1]) * tables.window_odd[n];
  }
  ComplexFft(tables, work);
  SplitMagnitudes(tables, work, magnitudes);
}
