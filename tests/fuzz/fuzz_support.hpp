// Shared pieces of the fuzz targets: reading the fuzzer's bytes as decisions, a
// scratch file for the readers that take a path, the two built plug-ins, and the
// check that an input leaves the host as clean as it found it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "host/mx_host.hpp"
#include "host/ut_host.hpp"

namespace fuzz {

// The fuzzer's bytes, taken from the front; zeros once they run out.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }
  std::uint8_t byte() { return p_ == end_ ? 0 : *p_++; }
  unsigned below(unsigned n) { return n == 0 ? 0 : byte() % n; }
  bool flip() { return byte() & 1; }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
      v = v << 8 | byte();
    return v;
  }
  double real() {
    const std::uint64_t bits = u64();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  std::string text(std::size_t max) {
    const std::size_t n = std::min<std::size_t>(below(static_cast<unsigned>(max) + 1), left());
    std::string s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return s;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

// A file holding exactly the given bytes, rewritten for every input.
inline std::string scratch_file(const std::uint8_t* data, std::size_t size) {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("sf-fuzz-" + std::to_string(getpid()))).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
  return path;
}

// Takes the host's account at construction; finish() stops the process when the
// input left an array alive that no persistent array holds, or a host heap block.
class HostAccount {
 public:
  HostAccount()
      : arrays_(host::mx::live_count() - host::mx::persistent_tree_count()),
        blocks_(host::ut::outstanding_blocks()) {}
  void finish(const char* what) const {
    const std::size_t arrays = host::mx::live_count() - host::mx::persistent_tree_count();
    const long blocks = host::ut::outstanding_blocks();
    if (arrays != arrays_ || blocks != blocks_) {
      std::fprintf(stderr, "fuzz: %s left %ld arrays and %ld host heap blocks behind\n", what,
                   static_cast<long>(arrays) - static_cast<long>(arrays_), blocks - blocks_);
      std::abort();
    }
  }

 private:
  std::size_t arrays_;
  long blocks_;
};

}  // namespace fuzz
