// Reading a sound file into the decoder's sample format: 16-bit signed mono at 44100 Hz.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace track2cli {

constexpr int kDecoderSampleRate = 44100;

// Reads `path` with libsndfile. 16-bit mono PCM is taken as is; any other sample format is
// scaled to 16 bits and several channels are mixed to mono (their mean). Another sample rate,
// a missing, empty, truncated or unreadable file fails with a one-line message in `error`.
bool ReadAudio(const std::string& path, std::vector<std::int16_t>& samples, std::string& error);

}  // namespace track2cli
