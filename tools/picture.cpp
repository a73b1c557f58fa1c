#include "tools/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int LinearToneFirstColumn = 90;  // FFT bins 46 and 47 and their average
constexpr int LinearToneLastColumn = 92;
constexpr int BandPitch = 26;
constexpr int BandWidth = 23;
constexpr int BandCount = 28;
}  // namespace

namespace {
// Where window pixel i lies over the frame's pixels, `frame` of them shown
// over `window` pixels: in frame pixel `first`, with the share `nextShare` of
// its area in the next one (0: wholly inside `first`).
struct Span {
  int first;
  double nextShare;
};

std::vector<Span> Spans(int window, int frame) {
  std::vector<Span> spans(window);
  for (int i = 0; i < window; ++i) {
    const int first = i * frame / window;
    const int over = (i + 1) * frame - (first + 1) * window;  // in 1/window of a frame pixel
    spans[i] = {first, over > 0 ? double(over) / frame : 0.0};
  }
  return spans;
}

uint32_t NearestOfThree(uint32_t pixel) {
  const int red = pixel >> 16 & 0xFF, green = pixel >> 8 & 0xFF, blue = pixel & 0xFF;
  if (green < 128) return 0;
  return red + blue >= 255 ? 0xFFFFFF : 0x00FF00;
}

// Between 100 and 200 %: every frame pixel's colour as its inside pixels
// show it, then each edge pixel against the mix of those by area.
template <typename PixelAt>
int CountUnsharp(const std::vector<Span>& columns, const std::vector<Span>& rows, PixelAt at) {
  constexpr int64_t Unknown = -1, Covered = -2;  // no inside pixel; the prompt over it
  std::vector<int64_t> colour(PictureWidth * PictureHeight, Unknown);
  int unsharp = 0;
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < columns.size(); ++x) {
      if (rows[y].nextShare > 0 || columns[x].nextShare > 0) continue;
      int64_t& known = colour[rows[y].first * PictureWidth + columns[x].first];
      const uint32_t pixel = at(int(x), int(y));
      if (pixel == 0xFFFFFF) {
        known = Covered;
      } else if (known == Unknown) {
        known = pixel;
      } else if (known >= 0 && known != pixel) {
        ++unsharp;
      }
    }
  }
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < columns.size(); ++x) {
      const uint32_t pixel = at(int(x), int(y));
      if ((rows[y].nextShare == 0 && columns[x].nextShare == 0) || pixel == 0xFFFFFF) continue;
      double expected[3] = {};
      bool judged = true;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          const double share = (dy ? rows[y].nextShare : 1 - rows[y].nextShare) *
                               (dx ? columns[x].nextShare : 1 - columns[x].nextShare);
          if (share == 0) continue;
          const int64_t known = colour[(rows[y].first + dy) * PictureWidth + columns[x].first + dx];
          judged = judged && known >= 0;
          for (int c = 0; c < 3; ++c) expected[c] += share * (known >> (16 - 8 * c) & 0xFF);
        }
      }
      for (int c = 0; c < 3 && judged; ++c) {
        if (std::abs(int(pixel >> (16 - 8 * c) & 0xFF) - expected[c]) > 3) {
          ++unsharp;
          break;
        }
      }
    }
  }
  return unsharp;
}

// Between 100 and 200 % a lone frame pixel may cover no window pixel wholly
// and under half of each it touches. Each frame pixel is read instead from a
// window pixel that begins inside it, the one with the most of it, with the
// shares of its right and lower neighbours, already read, taken away: the
// frame is solved from its bottom right corner, where no pixel has either.
template <typename PixelAt>
void ReadSharpFrame(const std::vector<Span>& columns, const std::vector<Span>& rows, PixelAt at, Picture& picture) {
  auto mostInside = [](const std::vector<Span>& spans, int frame) {
    std::vector<int> chosen(frame, -1);
    for (int i = 0; i < int(spans.size()); ++i) {
      int& best = chosen[spans[i].first];
      if (best < 0 || spans[i].nextShare < spans[best].nextShare) best = i;
    }
    return chosen;
  };
  const std::vector<int> xs = mostInside(columns, PictureWidth), ys = mostInside(rows, PictureHeight);
  std::vector<uint32_t> fromTop(PictureWidth * PictureHeight);
  auto colourAt = [&](int column, int top) {
    return column < PictureWidth && top < PictureHeight ? fromTop[top * PictureWidth + column] : 0;
  };
  for (int top = PictureHeight - 1; top >= 0; --top) {
    for (int column = PictureWidth - 1; column >= 0; --column) {
      const double right = columns[xs[column]].nextShare, below = rows[ys[top]].nextShare;
      const uint32_t pixel = at(xs[column], ys[top]);
      uint32_t solved = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        auto channel = [&](uint32_t colour) { return double(colour >> shift & 0xFF); };
        const double others = right * (1 - below) * channel(colourAt(column + 1, top)) +
                              (1 - right) * below * channel(colourAt(column, top + 1)) +
                              right * below * channel(colourAt(column + 1, top + 1));
        const double own = (channel(pixel) - others) / ((1 - right) * (1 - below));
        solved |= uint32_t(std::clamp(own, 0.0, 255.0) + 0.5) << shift;
      }
      fromTop[top * PictureWidth + column] = NearestOfThree(solved);
    }
  }
  for (int top = 0; top < PictureHeight; ++top) {
    std::copy_n(&fromTop[top * PictureWidth], PictureWidth, &picture.pixels[(PictureHeight - 1 - top) * PictureWidth]);
  }
}
}  // namespace

void FromWindowPixels(const uint32_t* window, int width, int height, Picture& picture) {
  picture.windowWidth = width;
  picture.windowHeight = height;
  picture.blendedPixels = 0;
  picture.unsharpPixels = 0;
  picture.inkLeft = picture.inkTop = picture.inkRight = picture.inkBottom = -1;
  auto at = [&](int x, int fromTop) { return window[(height - 1 - fromTop) * width + x] & 0xFFFFFF; };
  const bool sharp = width > PictureWidth && width < 2 * PictureWidth;
  const std::vector<Span> columns = Spans(width, PictureWidth), rows = Spans(height, PictureHeight);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = at(x, y);
      if (pixel == 0 || pixel == 0x00FF00) continue;
      // The sharp scaling's mixes on the edges are neither blends nor ink.
      if (pixel != 0xFFFFFF && sharp && (columns[x].nextShare > 0 || rows[y].nextShare > 0)) continue;
      picture.blendedPixels += pixel != 0xFFFFFF;
      if (picture.inkTop < 0) {
        picture.inkTop = y;
        picture.inkLeft = picture.inkRight = x;
      }
      picture.inkLeft = std::min(picture.inkLeft, x);
      picture.inkRight = std::max(picture.inkRight, x);
      picture.inkBottom = y;
    }
  }
  picture.unevenBlocks = 0;
  if (sharp) {
    picture.unsharpPixels = CountUnsharp(columns, rows, at);
    ReadSharpFrame(columns, rows, at, picture);
    return;
  }
  const int scale = width / PictureWidth;
  for (int row = 0; row < PictureHeight; ++row) {
    const int top = PictureHeight - 1 - row;
    for (int column = 0; column < PictureWidth; ++column) {
      const uint32_t middle =
          at((2 * column + 1) * width / (2 * PictureWidth), (2 * top + 1) * height / (2 * PictureHeight));
      picture.pixels[row * PictureWidth + column] = middle;
      if (scale < 2 || width != scale * PictureWidth || height != scale * PictureHeight) continue;
      bool even = true;
      bool white = false;
      for (int y = top * scale; y < (top + 1) * scale; ++y) {
        for (int x = column * scale; x < (column + 1) * scale; ++x) {
          even = even && at(x, y) == at(column * scale, top * scale);
          white = white || at(x, y) == 0xFFFFFF;
        }
      }
      picture.unevenBlocks += !even && !white;
    }
  }
}

int ColumnTop(const Picture& picture, int column) {
  for (int row = PictureHeight - 1; row >= 0; --row) {
    if (picture.IsGreen(column, row)) return row;
  }
  return -1;
}

int GreenCount(const Picture& picture, int column) {
  int count = 0;
  for (int row = 0; row < PictureHeight; ++row) count += picture.IsGreen(column, row);
  return count;
}

int PromptPixels(const Picture& picture) {
  int count = 0;
  for (uint32_t pixel : picture.pixels) count += pixel == 0xFFFFFF;
  return count;
}

bool ShowsSound(const Picture& picture, int mode) {
  for (int column = 0; column < PictureWidth; ++column) {
    if (ColumnShowsSound(mode, column, [&](int c, int row) { return picture.IsGreen(c, row); })) return true;
  }
  return false;
}

LinearMeasure MeasureLinear(const Picture& picture) {
  LinearMeasure measure;
  for (int column = 0; column < PictureWidth; ++column) {
    const int top = ColumnTop(picture, column);
    if (top > measure.tallestTop) {
      measure.tallestTop = top;
      measure.tallestColumn = column;
    }
    const bool inside = column >= LinearToneFirstColumn && column <= LinearToneLastColumn;
    if (!inside && top > measure.highestOutside) measure.highestOutside = top;
  }
  return measure;
}

BandMeasure MeasureBands(const Picture& picture) {
  BandMeasure measure;
  int tallest = -2;
  for (int band = 0; band < BandCount; ++band) {
    const int first = band * BandPitch;
    measure.tops[band] = ColumnTop(picture, first);
    for (int column = first + 1; column < first + BandWidth; ++column) {
      if (ColumnTop(picture, column) != measure.tops[band]) measure.barsUniform = false;
    }
    const int gapEnd = band == BandCount - 1 ? PictureWidth : first + BandPitch;
    for (int column = first + BandWidth; column < gapEnd; ++column) {
      if (ColumnTop(picture, column) != -1) measure.gapsBlack = false;
    }
    if (measure.tops[band] > tallest) {
      tallest = measure.tops[band];
      measure.tallestBand = band;
    }
  }
  return measure;
}

SpectrogramMeasure MeasureSpectrogram(const Picture& picture) {
  SpectrogramMeasure measure;
  int column = 0;
  while (column < PictureWidth && GreenCount(picture, column) == PictureHeight) ++column;
  measure.filledColumns = column;
  for (; column < PictureWidth; ++column) {
    if (GreenCount(picture, column) != 0) measure.restBlack = false;
  }
  return measure;
}

WaveformMeasure MeasureWaveform(const Picture& picture, double periodColumns) {
  // Each column's run ends at its sample's row; the run's middle follows the
  // same sine, half a sample later.
  WaveformMeasure measure;
  measure.periodColumns = periodColumns;
  std::vector<double> middle(PictureWidth);
  for (int column = 0; column < PictureWidth; ++column) {
    int low = -1;
    int high = -1;
    for (int row = 0; row < PictureHeight; ++row) {
      if (!picture.IsGreen(column, row)) continue;
      if (low < 0) low = row;
      high = row;
    }
    if (low < 0) {
      measure.everyColumnLit = false;
      continue;
    }
    middle[column] = (low + high) / 2.0;
  }
  // Least squares for middle ~ c + a cos(wx) + b sin(wx); over many whole
  // periods the three basis functions are nearly orthogonal.
  const double pi = std::acos(-1.0);
  const double w = 2 * pi / periodColumns;
  const int used = int(std::floor(PictureWidth / periodColumns) * periodColumns);
  double mean = 0;
  for (int x = 0; x < used; ++x) mean += middle[x];
  mean /= used;
  double a = 0;
  double b = 0;
  for (int x = 0; x < used; ++x) {
    a += (middle[x] - mean) * std::cos(w * x);
    b += (middle[x] - mean) * std::sin(w * x);
  }
  a *= 2.0 / used;
  b *= 2.0 / used;
  double total = 0;
  double residual = 0;
  for (int x = 0; x < used; ++x) {
    const double fitted = mean + a * std::cos(w * x) + b * std::sin(w * x);
    total += (middle[x] - mean) * (middle[x] - mean);
    residual += (middle[x] - fitted) * (middle[x] - fitted);
  }
  measure.amplitudeRows = std::sqrt(a * a + b * b);
  measure.fit = total > 0 ? 1 - residual / total : 0;
  return measure;
}

bool SaveBitmap(const Picture& picture, const std::wstring& path) {
  const uint32_t rowBytes = PictureWidth * 3;  // 2,208: already a multiple of 4
  const uint32_t imageBytes = rowBytes * PictureHeight;
  uint8_t header[54] = {'B', 'M'};
  auto put32 = [&](int offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) header[offset + i] = uint8_t(value >> (8 * i));
  };
  put32(2, 54 + imageBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, PictureWidth);
  put32(22, PictureHeight);  // positive: bottom line first, as stored here
  header[26] = 1;
  header[28] = 24;
  put32(34, imageBytes);
#if defined(_WIN32)
  FILE* file = _wfopen(path.c_str(), L"wb");
#else
  FILE* file = std::fopen(std::string(path.begin(), path.end()).c_str(), "wb");
#endif
  if (file == nullptr) return false;
  std::fwrite(header, 1, sizeof header, file);
  std::vector<uint8_t> row(rowBytes);
  for (int y = 0; y < PictureHeight; ++y) {
    for (int x = 0; x < PictureWidth; ++x) {
      const uint32_t pixel = picture.At(x, y);
      row[x * 3] = uint8_t(pixel);
      row[x * 3 + 1] = uint8_t(pixel >> 8);
      row[x * 3 + 2] = uint8_t(pixel >> 16);
    }
    std::fwrite(row.data(), 1, row.size(), file);
  }
  return std::fclose(file) == 0;
}

std::string Describe(const Picture& picture) {
  int green = 0;
  int black = 0;
  int other = 0;
  for (uint32_t pixel : picture.pixels) {
    if (pixel == 0x00FF00) {
      ++green;
    } else if (pixel == 0) {
      ++black;
    } else {
      ++other;
    }
  }
  char text[200];
  std::snprintf(text, sizeof text, "green=%d black=%d other=%d prompt=%d window=%dx%d blended=%d uneven_blocks=%d unsharp=%d",
                green, black, other, PromptPixels(picture), picture.windowWidth, picture.windowHeight,
                picture.blendedPixels, picture.unevenBlocks, picture.unsharpPixels);
  return text;
}
