#include "minutiae.h"

#include <algorithm>
#include <cmath>

namespace fingersim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMeanRadius = 8;         // window of the local mean: 17 x 17
constexpr int kMinSeparation = 8;      // closer minutiae are dropped in pairs
constexpr int kTraceSteps = 8;         // ridge pixels followed to find an ending's direction

// Neighbours clockwise from the one above: P2..P9 of the thinning literature.
constexpr int kDx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kDy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

class Binary {
 public:
  Binary(int w, int h) : w_(w), h_(h), bits_(static_cast<std::size_t>(w) * h, 0) {}
  std::uint8_t get(int x, int y) const {
    return x >= 0 && y >= 0 && x < w_ && y < h_ ? bits_[static_cast<std::size_t>(y) * w_ + x] : 0;
  }
  void set(int x, int y, std::uint8_t v) { bits_[static_cast<std::size_t>(y) * w_ + x] = v; }
  int width() const { return w_; }
  int height() const { return h_; }

 private:
  int w_, h_;
  std::vector<std::uint8_t> bits_;
};

Binary Binarise(const GreyImage& image, const RidgeBlocks& blocks) {
  const int w = image.width, h = image.height;
  std::vector<std::int64_t> integral(static_cast<std::size_t>(w + 1) * (h + 1), 0);
  for (int y = 0; y < h; ++y) {
    std::int64_t row = 0;
    for (int x = 0; x < w; ++x) {
      row += image.at(x, y);
      integral[static_cast<std::size_t>(y + 1) * (w + 1) + x + 1] = integral[static_cast<std::size_t>(y) * (w + 1) + x + 1] + row;
    }
  }
  Binary ridges(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int side = RidgeBlocks::kBlockSide;
      if (!blocks.Ridged(x / side, y / side)) continue;
      const int x0 = std::max(0, x - kMeanRadius), x1 = std::min(w, x + kMeanRadius + 1);
      const int y0 = std::max(0, y - kMeanRadius), y1 = std::min(h, y + kMeanRadius + 1);
      const std::int64_t sum = integral[static_cast<std::size_t>(y1) * (w + 1) + x1] -
                               integral[static_cast<std::size_t>(y0) * (w + 1) + x1] -
                               integral[static_cast<std::size_t>(y1) * (w + 1) + x0] +
                               integral[static_cast<std::size_t>(y0) * (w + 1) + x0];
      const std::int64_t count = static_cast<std::int64_t>(x1 - x0) * (y1 - y0);
      // Dark ridges on a light ground: a ridge pixel lies below its neighbourhood's mean.
      if (static_cast<std::int64_t>(image.at(x, y)) * count < sum) ridges.set(x, y, 1);
    }
  }
  return ridges;
}

// Zhang-Suen thinning: peels boundary pixels in two alternating sub-passes until only lines of
// one pixel remain.
void Thin(Binary& b) {
  std::vector<std::pair<int, int>> peel;
  for (bool changed = true; changed;) {
    changed = false;
    for (int pass = 0; pass < 2; ++pass) {
      peel.clear();
      for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
          if (!b.get(x, y)) continue;
          int p[8];
          int set = 0, transitions = 0;
          for (int i = 0; i < 8; ++i) set += p[i] = b.get(x + kDx[i], y + kDy[i]);
          for (int i = 0; i < 8; ++i) transitions += !p[i] && p[(i + 1) % 8];
          if (set < 2 || set > 6 || transitions != 1) continue;
          // p[0] north, p[2] east, p[4] south, p[6] west.
          if (pass == 0 ? (p[0] && p[2] && p[4]) || (p[2] && p[4] && p[6])
                        : (p[0] && p[2] && p[6]) || (p[0] && p[4] && p[6])) {
            continue;
          }
          peel.emplace_back(x, y);
        }
      }
      for (auto [x, y] : peel) b.set(x, y, 0);
      changed = changed || !peel.empty();
    }
  }
}

int CrossingNumber(const Binary& b, int x, int y) {
  int crossings = 0;
  for (int i = 0; i < 8; ++i) {
    crossings += b.get(x + kDx[i], y + kDy[i]) != b.get(x + kDx[(i + 1) % 8], y + kDy[(i + 1) % 8]);
  }
  return crossings / 2;
}

// Direction of an ending: follow the line away from it and point back towards it.
double EndingAngle(const Binary& b, int x, int y) {
  int cx = x, cy = y, px = x, py = y;
  for (int step = 0; step < kTraceSteps; ++step) {
    int nx = -1, ny = -1;
    for (int i = 0; i < 8 && nx < 0; ++i) {
      const int qx = cx + kDx[i], qy = cy + kDy[i];
      if (b.get(qx, qy) && !(qx == px && qy == py) && !(qx == x && qy == y)) {
        nx = qx;
        ny = qy;
      }
    }
    if (nx < 0) break;
    px = cx;
    py = cy;
    cx = nx;
    cy = ny;
  }
  double a = std::atan2(static_cast<double>(y - cy), static_cast<double>(x - cx));
  if (a < 0) a += 2 * kPi;
  return a;
}

}  // namespace

std::vector<Minutia> FindMinutiae(const GreyImage& image, const RidgeBlocks& blocks) {
  if (image.width < 3 || image.height < 3) return {};
  Binary lines = Binarise(image, blocks);
  Thin(lines);

  const int side = RidgeBlocks::kBlockSide;
  std::vector<Minutia> found;
  for (int y = 1; y + 1 < image.height; ++y) {
    for (int x = 1; x + 1 < image.width; ++x) {
      if (!lines.get(x, y) || !blocks.Interior(x / side, y / side)) continue;
      const int cn = CrossingNumber(lines, x, y);
      if (cn != 1 && cn != 3) continue;
      Minutia m;
      m.x = x;
      m.y = y;
      m.kind = cn == 1 ? MinutiaKind::ending : MinutiaKind::fork;
      m.angle = cn == 1 ? EndingAngle(lines, x, y) : blocks.orientation[(y / side) * blocks.columns + x / side];
      found.push_back(m);
    }
  }

  std::vector<std::uint8_t> dropped(found.size(), 0);
  for (std::size_t i = 0; i < found.size(); ++i) {
    for (std::size_t j = i + 1; j < found.size(); ++j) {
      const int dx = found[j].x - found[i].x, dy = found[j].y - found[i].y;
      if (dy > kMinSeparation) break;  // found is in row order
      if (dx * dx + dy * dy < kMinSeparation * kMinSeparation) dropped[i] = dropped[j] = 1;
    }
  }
  std::vector<Minutia> kept;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!dropped[i]) kept.push_back(found[i]);
  }

  // Centre of the print: the mean of the ridged blocks' centres.
  double cx = 0, cy = 0;
  int n = 0;
  for (int by = 0; by < blocks.rows; ++by) {
    for (int bx = 0; bx < blocks.columns; ++bx) {
      if (!blocks.Ridged(bx, by)) continue;
      cx += (bx + 0.5) * side;
      cy += (by + 0.5) * side;
      ++n;
    }
  }
  if (n > 0) {
    cx /= n;
    cy /= n;
  }
  auto distance = [&](const Minutia& m) { return (m.x - cx) * (m.x - cx) + (m.y - cy) * (m.y - cy); };
  std::stable_sort(kept.begin(), kept.end(),
                   [&](const Minutia& a, const Minutia& b) { return distance(a) < distance(b); });
  return kept;
}

}  // namespace fingersim
