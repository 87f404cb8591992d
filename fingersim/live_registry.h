// The simulated SDK objects alive in the process, in the order they were made, so that the
// control channel can fire events on every one of them. An object adds itself when it is made
// and removes itself when its last reference goes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <vector>

namespace fingersim {

template <class T>
class LiveRegistry {
 public:
  void Add(T* object) {
    std::lock_guard<std::mutex> hold(lock_);
    objects_.push_back(object);
  }

  void Remove(T* object) {
    std::lock_guard<std::mutex> hold(lock_);
    objects_.erase(std::remove(objects_.begin(), objects_.end(), object), objects_.end());
  }

  // The registered objects, oldest first, for which `retain(object)` returns true. `retain` runs
  // under the registry's lock and takes a reference, refusing an object whose count has already
  // reached zero (one that is about to remove itself); the caller releases what it got.
  template <class Retain>
  std::vector<T*> Retained(Retain retain) const {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<T*> kept;
    for (T* object : objects_) {
      if (retain(object)) kept.push_back(object);
    }
    return kept;
  }

  std::size_t size() const {
    std::lock_guard<std::mutex> hold(lock_);
    return objects_.size();
  }

 private:
  mutable std::mutex lock_;
  std::vector<T*> objects_;
};

}  // namespace fingersim
