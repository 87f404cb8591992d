#include "pattern_cache.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace fingersim {

namespace {

constexpr std::size_t kKeptPatterns = 10;

std::mutex cacheLock;
// Most recently used last.
std::vector<std::pair<std::int64_t, std::shared_ptr<const MasterPattern>>> cache;

}  // namespace

std::shared_ptr<const MasterPattern> CachedMasterPattern(std::int64_t finger) {
  {
    std::lock_guard<std::mutex> hold(cacheLock);
    auto it = std::find_if(cache.begin(), cache.end(), [&](const auto& e) { return e.first == finger; });
    if (it != cache.end()) {
      auto entry = *it;
      cache.erase(it);
      cache.push_back(entry);
      return entry.second;
    }
  }
  // Grown outside the lock: two threads asking for the same new finger both grow it, and the
  // results are equal.
  auto grown = std::make_shared<const MasterPattern>(GrowMasterPattern(finger));
  std::lock_guard<std::mutex> hold(cacheLock);
  auto it = std::find_if(cache.begin(), cache.end(), [&](const auto& e) { return e.first == finger; });
  if (it != cache.end()) return it->second;
  if (cache.size() == kKeptPatterns) cache.erase(cache.begin());
  cache.emplace_back(finger, grown);
  return grown;
}

}  // namespace fingersim
