#include "capturelib/fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "capturelib/turn_trig.h"
#include "tests/support/deterministic.h"
#include "tests/support/tone.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr size_t N = SpectrumSamples;

struct Spectrum {
  std::vector<double> real, imaginary;
  double Magnitude(size_t k) const { return std::hypot(real[k], imaginary[k]); }
};

// The reference: a direct DFT in long double.
Spectrum DirectDft(const std::vector<double>& input) {
  static const auto turn = [] {
    std::vector<std::pair<long double, long double>> table(N);
    for (size_t n = 0; n < N; ++n) {
      const long double angle = -2.0L * 3.14159265358979323846264338327950288L * n / N;
      table[n] = {std::cos(angle), std::sin(angle)};
    }
    return table;
  }();
  Spectrum out{std::vector<double>(SpectrumBins), std::vector<double>(SpectrumBins)};
  for (size_t k = 0; k < SpectrumBins; ++k) {
    long double real = 0, imaginary = 0;
    for (size_t n = 0; n < N; ++n) {
      real += input[n] * turn[(k * n) % N].first;
      imaginary += input[n] * turn[(k * n) % N].second;
    }
    out.real[k] = static_cast<double>(real);
    out.imaginary[k] = static_cast<double>(imaginary);
  }
  return out;
}

std::vector<int16_t> OnBin(size_t bin, double amplitude) { return Tone{bin * 44100.0 / N, amplitude}.Samples(N, 44100); }

std::vector<float> SpectrumOf(const std::vector<int16_t>& samples) {
  std::vector<float> magnitudes(SpectrumBins);
  HannSpectrum(samples.data(), magnitudes.data());
  return magnitudes;
}

// The worst error of the spectrum against a direct DFT of the same samples
// under the textbook window, relative to the largest magnitude.
double WorstRelativeError(const std::vector<int16_t>& samples) {
  std::vector<double> windowed(N);
  for (size_t n = 0; n < N; ++n) windowed[n] = samples[n] / 32768.0 * (0.5 - 0.5 * std::cos(2 * Pi * n / N));
  const Spectrum reference = DirectDft(windowed);
  const std::vector<float> magnitudes = SpectrumOf(samples);
  double peak = 0, worst = 0;
  for (size_t k = 0; k < SpectrumBins; ++k) {
    const double expected = reference.Magnitude(k) * 2 / N;
    peak = std::max(peak, expected);
    worst = std::max(worst, std::fabs(magnitudes[k] - expected));
  }
  return worst / peak;
}

TEST(TurnCosSin, MatchesTheLibraryToDoublePrecision) {
  for (uint32_t k = 0; k < N; ++k) {
    const CosSin ours = TurnCosSin(k, N);
    const long double angle = 2.0L * 3.14159265358979323846264338327950288L * k / N;
    EXPECT_NEAR(ours.cos, static_cast<double>(std::cos(angle)), 1e-15) << k;
    EXPECT_NEAR(ours.sin, static_cast<double>(std::sin(angle)), 1e-15) << k;
  }
}

TEST(TurnCosSin, QuarterTurnsAreExact) {
  EXPECT_EQ(TurnCosSin(0, 8).cos, 1.0);
  EXPECT_EQ(TurnCosSin(2, 8).cos, 0.0);
  EXPECT_EQ(TurnCosSin(2, 8).sin, 1.0);
  EXPECT_EQ(TurnCosSin(4, 8).cos, -1.0);
  EXPECT_EQ(TurnCosSin(6, 8).sin, -1.0);
  EXPECT_EQ(TurnCosSin(9, 8).cos, TurnCosSin(1, 8).cos);
}

TEST(HannWindow, IsPeriodicAndSumsToHalfItsLength) {
  EXPECT_EQ(HannWindow(0), 0.0f);
  EXPECT_EQ(HannWindow(N / 2), 1.0f);
  double sum = 0;
  for (size_t n = 0; n < N; ++n) {
    sum += HannWindow(n);
    if (n > 0) {
      EXPECT_EQ(HannWindow(n), HannWindow(N - n)) << n;
    }
  }
  EXPECT_NEAR(sum, N / 2.0, 1e-3);
}

TEST(HannSpectrum, MatchesDirectDftOfWindowedRandomSamples) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> uniform(-32768, 32767);
  for (int round = 0; round < 3; ++round) {
    std::vector<int16_t> samples(N);
    for (int16_t& sample : samples) sample = static_cast<int16_t>(uniform(random));
    EXPECT_LE(WorstRelativeError(samples), 1e-5) << round;
  }
}

TEST(HannSpectrum, MatchesDirectDftOfWindowedTones) {
  for (double frequency : {1000.0, 997.0, 21.53, 11025.0, 22000.0}) {
    EXPECT_LE(WorstRelativeError(Tone{frequency, 22000, 0.3, 3000}.Samples(N, 44100)), 1e-5) << frequency;
  }
}

TEST(HannSpectrum, FullScaleSineOnABinCentreReadsHalfThereAndAQuarterBeside) {
  // (On bin 1 the DC bin cancels: both halves of the spectrum meet there.)
  for (size_t bin : {2, 5, 100, 511, 1000}) {
    const std::vector<float> magnitudes = SpectrumOf(OnBin(bin, 32767));
    EXPECT_NEAR(magnitudes[bin], 0.5, 1e-4) << bin;
    EXPECT_NEAR(magnitudes[bin - 1], 0.25, 1e-4) << bin;
    EXPECT_NEAR(magnitudes[bin + 1], 0.25, 1e-4) << bin;
    EXPECT_LT(magnitudes[bin + 3], 1e-4) << bin;
  }
}

TEST(HannSpectrum, HalfAmplitudeThousandHertzToneFallsBetweenBins46And47) {
  const std::vector<float> magnitudes = SpectrumOf(Tone{1000, 16384}.Samples(N, 44100));
  EXPECT_NEAR(magnitudes[46], 0.2203, 5e-5);
  EXPECT_NEAR(magnitudes[47], 0.2033, 5e-5);
  EXPECT_EQ(std::max_element(magnitudes.begin() + 1, magnitudes.end()) - magnitudes.begin(), 46);
}

TEST(HannSpectrum, ConstantInputReadsInBinZero) {
  const std::vector<float> magnitudes = SpectrumOf(std::vector<int16_t>(N, 16384));
  EXPECT_NEAR(magnitudes[0], 0.5, 1e-6);
  EXPECT_NEAR(magnitudes[1], 0.25, 1e-6);
  EXPECT_LT(magnitudes[2], 1e-6);
}

TEST(HannSpectrum, SilenceReadsExactlyZero) {
  for (float magnitude : SpectrumOf(std::vector<int16_t>(N, 0))) EXPECT_EQ(magnitude, 0.0f);
}

TEST(HannSpectrum, IsBitIdenticalOnEveryTarget) {
  // Computed once on Linux x86-64; the 32-bit Windows build must agree to the bit.
  std::vector<int16_t> samples(N);
  Lcg random{12345};
  for (int16_t& sample : samples) sample = random.Sample();
  EXPECT_EQ(Fnv1a(SpectrumOf(samples).data(), SpectrumBins), 3950201350973567894ull);
}

}  // namespace
