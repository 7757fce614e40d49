#include <cmath>
#include <cstdio>

#include "host/os.hpp"
#include "tools/output/output.hpp"
#include "tools/sfsim/commands.hpp"

namespace sfsim {
namespace {

// "2 h 05 min", "3 min 07 s", "12 s".
std::string duration_text(double seconds) {
  const auto s = static_cast<long long>(seconds + 0.5);
  char b[64];
  if (s >= 3600)
    std::snprintf(b, sizeof b, "%lld h %02lld min", s / 3600, s / 60 % 60);
  else if (s >= 60)
    std::snprintf(b, sizeof b, "%lld min %02lld s", s / 60, s % 60);
  else
    std::snprintf(b, sizeof b, "%lld s", s);
  return b;
}

}  // namespace

Progress::Progress(std::string label, const std::string& csv)
    : label_(std::move(label)),
      tty_(host::os::stderr_is_terminal() &&
           !host::os::lands_on_stderr_terminal(is_standard_stream(csv) ? std::string() : csv)) {}

void Progress::operator()(std::int64_t done, std::int64_t total) {
  if (!tty_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::seconds(1)) return;
  if (shown_ && now - last_ < std::chrono::milliseconds(100) && done != total) return;
  last_ = now;
  shown_ = true;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double rate = static_cast<double>(done) / elapsed;
  const double share = std::floor(
      total > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 100.0);
  const std::string left =
      rate > 0 ? duration_text(static_cast<double>(total - done) / rate) : std::string("?");
  std::fprintf(stderr, "\r%s: step %lld of %lld (%.0f%%), %.0f steps/s, %s left\033[K",
               label_.c_str(), static_cast<long long>(done), static_cast<long long>(total), share,
               rate, left.c_str());
  std::fflush(stderr);
}

void Progress::finish() {
  if (shown_) std::fprintf(stderr, "\r\033[K");
  shown_ = false;
}

}  // namespace sfsim
