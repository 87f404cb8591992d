// base64enc: writes the control's Base64 text of a file (or of standard input) to standard output.
//   base64enc FILE      encode FILE
//   base64enc -         encode standard input
//   base64enc --sample  encode a small built-in grey ramp, as a stand-in for a finger image
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "base64.h"

namespace {

bool ReadAll(const char* path, std::vector<unsigned char>& bytes) {
  if (std::strcmp(path, "-") == 0) {
    std::cin >> std::noskipws;
    bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return !std::cin.bad();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: base64enc FILE | - | --sample\n");
    return 2;
  }
  std::vector<unsigned char> bytes;
  if (std::strcmp(argv[1], "--sample") == 0) {
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<unsigned char>(i));
  } else if (!ReadAll(argv[1], bytes)) {
    std::fprintf(stderr, "base64enc: cannot read %s\n", argv[1]);
    return 2;
  }
  if (bytes.size() > static_cast<std::size_t>(fingerprint::kBase64MaxCount)) {
    std::fprintf(stderr, "base64enc: %zu bytes is more than the encoder accepts\n", bytes.size());
    return 1;
  }
  std::string text;
  if (fingerprint::EncodeBase64(bytes.data(), static_cast<std::int32_t>(bytes.size()), text) !=
      fingerprint::Base64Status::ok) {
    std::fprintf(stderr, "base64enc: out of memory\n");
    return 1;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
