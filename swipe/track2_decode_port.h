// The Track 2 decoder as the capture engine's decode function. Its "Temp decoded: " lines go to
// the same line sink as the engine's own, so they keep their order on the way out.
#pragma once

#include "capture_engine.h"
#include "line_sink.h"
#include "track2_decoder.h"

namespace swipe {

class Track2DecodePort {
 public:
  explicit Track2DecodePort(LineSink& lines) : lines_(lines), decoder_(&lines_) {}
  Track2DecodePort(const Track2DecodePort&) = delete;
  Track2DecodePort& operator=(const Track2DecodePort&) = delete;

  // Valid while this object lives. One caller at a time (the device's callbacks never overlap).
  DecodeFunction Function() {
    return [this](unsigned char* samples, std::int32_t byteCount) {
      return decoder_.DecodeTrack2(samples, byteCount);
    };
  }

 private:
  class Lines final : public DiagnosticSink {
   public:
    explicit Lines(LineSink& sink) : sink_(sink) {}
    void WriteLine(const char* text) override { sink_.WriteLine(text); }

   private:
    LineSink& sink_;
  };

  Lines lines_;
  Track2Decoder decoder_;
};

}  // namespace swipe
