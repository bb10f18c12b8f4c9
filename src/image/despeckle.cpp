#include "image/despeckle.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace scrivex {
namespace {

// One group never grows past this many pixels; bigger groups are not specks.
constexpr int kMaxGroupPixels = 19900;
constexpr int kNeighbours[8][2] = {{-1, 0},  {1, 0},  {0, -1}, {0, 1},
                                   {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};

struct SpeckRemover {
  uint8_t* bits;
  int width;
  int height;
  int stride;
  int largest;
  std::vector<uint8_t> visited;
  std::vector<std::pair<int, int>> queue;

  bool IsSet(int x, int y) const {
    return (bits[static_cast<size_t>(y) * stride + x / 8] & (0x80 >> (x % 8))) != 0;
  }
  void Clear(int x, int y) {
    bits[static_cast<size_t>(y) * stride + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
  }
  uint8_t& Visited(int x, int y) { return visited[static_cast<size_t>(y) * width + x]; }

  // Breadth-first growth from the single queued pixel; true for a speck.
  bool Grow() {
    int minX = 13333, minY = 13333, maxX = -1, maxY = -1;
    int borderAndSize = 0;
    size_t head = 0;
    while (head < queue.size()) {
      auto [px, py] = queue[head];
      for (const auto& d : kNeighbours) {
        int nx = px + d[0];
        int ny = py + d[1];
        if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
        if (Visited(nx, ny) || !IsSet(nx, ny)) continue;
        Visited(nx, ny) = 1;
        if (nx == 0 || ny == 0 || nx == width - 1 || ny == height - 1) borderAndSize = largest + 1;
        if (nx < minX) minX = nx;
        if (nx > maxX) maxX = nx;
        if (ny < minY) minY = ny;
        if (ny > maxY) maxY = ny;
        queue.emplace_back(nx, ny);
        if (static_cast<int>(queue.size()) > kMaxGroupPixels) return false;
      }
      ++head;
    }
    borderAndSize += static_cast<int>(queue.size());
    return borderAndSize < largest && maxX - minX < largest / 2 && maxY - minY < largest / 2;
  }
};

}  // namespace

void DespeckleBitmap(uint8_t* bits, int width, int height, int largest) {
  if (!bits || width <= 0 || height <= 0) return;
  SpeckRemover r{bits, width, height, (width + 31) / 32 * 4, largest, {}, {}};
  r.visited.assign(static_cast<size_t>(width) * height, 0);
  // Columns outer, rows inner: groups cut off at the size cap split the same way every time.
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < height; ++y) {
      if (!r.IsSet(x, y) || r.Visited(x, y)) continue;
      r.Visited(x, y) = 1;
      r.queue.clear();
      r.queue.emplace_back(x, y);
      if (r.Grow()) {
        for (const auto& [qx, qy] : r.queue) r.Clear(qx, qy);
      }
    }
  }
}

}  // namespace scrivex
