// Windows metafiles: one being recorded through its device context, and a finished one.
#pragma once

#include <windows.h>

#include <utility>

namespace activex {

// A finished metafile, deleted with DeleteMetaFile when the owner goes.
class Metafile {
 public:
  Metafile() = default;
  explicit Metafile(HMETAFILE h) : h_(h) {}
  Metafile(const Metafile&) = delete;
  Metafile& operator=(const Metafile&) = delete;
  Metafile(Metafile&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  Metafile& operator=(Metafile&& other) noexcept {
    Metafile(std::move(other)).Swap(*this);
    return *this;
  }
  ~Metafile() {
    if (h_) DeleteMetaFile(h_);
  }

  HMETAFILE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  HMETAFILE Detach() { return std::exchange(h_, nullptr); }
  void Swap(Metafile& other) noexcept { std::swap(h_, other.h_); }

 private:
  HMETAFILE h_ = nullptr;
};

// A metafile in memory being recorded: draw into dc(), then Finish(). Closed and thrown away
// if never finished.
class MetafileRecorder {
 public:
  MetafileRecorder() : dc_(CreateMetaFileW(nullptr)) {}
  MetafileRecorder(const MetafileRecorder&) = delete;
  MetafileRecorder& operator=(const MetafileRecorder&) = delete;
  ~MetafileRecorder() { Finish(); }

  HDC dc() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

  // Ends the recording; the result is empty when it failed or was finished already.
  Metafile Finish() {
    if (!dc_) return Metafile();
    return Metafile(CloseMetaFile(std::exchange(dc_, nullptr)));
  }

 private:
  HDC dc_;
};

}  // namespace activex
