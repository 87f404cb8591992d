#include "audio_input.h"

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>

namespace track2cli {
namespace {

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

// libsndfile opens a file whose audio data ends early and reads what is there; its log then
// says that the data chunk "should be" shorter than its header claims.
bool DataChunkCutShort(SNDFILE* f) {
  char log[8192] = {};
  sf_command(f, SFC_GET_LOG_INFO, log, sizeof log);
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    const bool dataLine = line.rfind("data", 0) == 0 || line.rfind("SSND", 0) == 0;
    if (dataLine && line.find("should be") != std::string::npos) return true;
  }
  return false;
}

std::int16_t ToSample16(double v) {
  v = std::floor(v + 0.5);
  if (v > 32767) v = 32767;
  if (v < -32768) v = -32768;
  return static_cast<std::int16_t>(v);
}

}  // namespace

bool ReadAudio(const std::string& path, std::vector<std::int16_t>& samples, std::string& error) {
  samples.clear();
  {
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
      error = path + ": cannot open: " + std::strerror(errno);
      return false;
    }
    const int c = std::fgetc(probe);
    std::fclose(probe);
    if (c == EOF) {
      error = path + ": empty file";
      return false;
    }
  }

  SF_INFO info{};
  SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) {
    error = path + ": not a readable sound file (" + sf_strerror(nullptr) + ")";
    return false;
  }
  if (info.samplerate != kDecoderSampleRate) {
    error = path + ": sample rate " + std::to_string(info.samplerate) +
            " Hz is not supported; the decoder needs 44100 Hz";
    return false;
  }
  if (info.channels < 1) {
    error = path + ": no audio channels";
    return false;
  }
  if (info.frames <= 0) {
    error = path + ": holds no audio samples";
    return false;
  }
  if (DataChunkCutShort(file.get())) {
    error = path + ": truncated (the audio data ends before its declared length)";
    return false;
  }
  // The decoder counts bytes in a signed 32-bit number.
  if (info.frames > std::numeric_limits<std::int32_t>::max() / 2) {
    error = path + ": too long to decode in one buffer; use --buffer-seconds";
    return false;
  }

  const auto frames = static_cast<std::size_t>(info.frames);
  const bool asIs = info.channels == 1 && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
  sf_count_t got = 0;
  if (asIs) {
    samples.resize(frames);
    got = sf_readf_short(file.get(), samples.data(), info.frames);
  } else {
    sf_command(file.get(), SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<double> interleaved(frames * channels);
    got = sf_readf_double(file.get(), interleaved.data(), info.frames);
    samples.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
      double sum = 0;
      for (std::size_t ch = 0; ch < channels; ++ch) sum += interleaved[i * channels + ch];
      samples[i] = ToSample16(sum / static_cast<double>(channels) * 32768.0);
    }
  }
  if (got != info.frames || sf_error(file.get()) != SF_ERR_NO_ERROR) {
    error = path + ": truncated or unreadable audio data (" + sf_strerror(file.get()) + ")";
    samples.clear();
    return false;
  }
  return true;
}

}  // namespace track2cli
