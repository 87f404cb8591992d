#include "line_player.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace swipe {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Time for the player to start, connect and drain the server's buffers.
constexpr std::chrono::milliseconds kPlayerSlack{1500};

}  // namespace

LinePlayback::LinePlayback(const std::vector<std::int16_t>& samples, const std::string& name) {
  over_ = std::chrono::steady_clock::now();
  const std::string player = Environment("PULSE_PLAYER");
  const std::string folder = Environment("CAPTURE_SCRATCH");
  if (player.empty() || folder.empty()) {
    error_ = "PULSE_PLAYER or CAPTURE_SCRATCH not set";
    return;
  }

  const std::string unixPath = folder + "/" + name + ".raw";
  std::string windowsPath = "Z:" + unixPath;
  for (char& c : windowsPath) {
    if (c == '/') c = '\\';
  }
  std::vector<unsigned char> bytes;
  bytes.reserve(samples.size() * 2);
  for (std::int16_t s : samples) {
    const auto u = static_cast<std::uint16_t>(s);
    bytes.push_back(static_cast<unsigned char>(u & 0xFF));
    bytes.push_back(static_cast<unsigned char>(u >> 8));
  }
  std::FILE* file = std::fopen(windowsPath.c_str(), "wb");
  const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (!file || std::fclose(file) != 0 || !written) {
    error_ = "cannot write " + windowsPath;
    return;
  }

  std::string command = player +
                        " --playback --raw --format=s16le --rate=44100 --channels=1"
                        " --device=line " +
                        unixPath;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    error_ = "cannot start " + player + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  over_ += std::chrono::milliseconds(samples.size() * 1000 / 44100) + kPlayerSlack;
}

LinePlayback::~LinePlayback() { std::this_thread::sleep_until(over_); }

}  // namespace swipe
