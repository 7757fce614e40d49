// Call recorder of the stand-in host. Every host library reports its operations
// here; recording is off by default and costs one predictable branch per call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace host::trace {

// One recorded host call: the operation's published name and its arguments,
// already formatted (doubles with %.17g, texts quoted, null pointers as "null").
struct Call {
  std::string op;
  std::vector<std::string> args;
  std::string line() const;  // "op arg0 arg1 ..."
};

using Sink = std::function<void(const Call&)>;

extern bool g_enabled;  // read through enabled(); written by set_sink()/clear_sink()

inline bool enabled() {
  return __builtin_expect(g_enabled, 0);
}

// Install a sink (recording on) or remove it (recording off).
void set_sink(Sink sink);
void clear_sink();
void emit(Call call);

// Called with the new state whenever enabled() changes, so that a library may keep
// a fast path that is valid only while recording is off. A listener registered twice
// is called once; at most kMaxListeners are kept (one per host library is enough).
using EnabledListener = void (*)(bool enabled);
inline constexpr int kMaxListeners = 8;
// False when the listener could not be kept (the table is full).
bool on_enabled_change(EnabledListener listener);

// Argument formatting.
inline std::string arg(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}
inline std::string arg(int v) {
  return std::to_string(v);
}
inline std::string arg(unsigned v) {
  return std::to_string(v);
}
inline std::string arg(long v) {
  return std::to_string(v);
}
inline std::string arg(unsigned long v) {
  return std::to_string(v);
}
inline std::string arg(long long v) {
  return std::to_string(v);
}
inline std::string arg(unsigned long long v) {
  return std::to_string(v);
}
inline std::string arg(bool v) {
  return v ? "1" : "0";
}
std::string arg(const char* text);  // quoted, or null
std::string arg(const void* p);     // hexadecimal, or null
inline std::string arg(void* p) {
  return arg(static_cast<const void*>(p));
}
inline std::string arg(std::nullptr_t) {
  return "null";
}
inline std::string arg(std::string s) {
  return s;
}  // already formatted

// The formatting and the sink call, out of line: the caller's path with recording
// off stays a test and a branch.
// Arguments are taken by value (numbers, pointers, texts), so that a caller keeps
// them in registers.
template <class... A>
[[gnu::noinline, gnu::cold]] void record_now(const char* op, A... a) {
  emit(Call{op, {arg(a)...}});
}

template <class... A>
inline void record(const char* op, A... a) {
  if (enabled()) record_now(op, a...);
}

// Silences recording while alive: the host's own work inside an operation (a
// MATLAB-level function building its result) is not part of the caller's trace.
class Mute {
 public:
  Mute();
  ~Mute();
  Mute(const Mute&) = delete;
  Mute& operator=(const Mute&) = delete;
};

// Collects every call while alive (tests). A collector replaces the sink that was
// installed and puts it back when it goes.

class Collector {
 public:
  Collector();
  ~Collector();
  Collector(const Collector&) = delete;
  Collector& operator=(const Collector&) = delete;
  const std::vector<Call>& calls() const { return calls_; }
  void clear() { calls_.clear(); }

 private:
  std::vector<Call> calls_;
  Sink previous_;
};

}  // namespace host::trace
