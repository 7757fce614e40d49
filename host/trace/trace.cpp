#include "host/trace.hpp"

#include <cstdio>

namespace host::trace {

bool g_enabled = false;

namespace {

struct Recorder {
  Sink sink;
  int muted = 0;
  bool emitting = false;  // a sink that calls the host does not record itself
  EnabledListener listeners[kMaxListeners] = {};
  int listener_count = 0;
};

Recorder& recorder() {
  static Recorder* r = new Recorder;  // outlives every static destructor
  return *r;
}

void update_enabled() {
  Recorder& r = recorder();
  const bool now = static_cast<bool>(r.sink) && r.muted == 0;
  if (now == g_enabled) return;
  g_enabled = now;
  for (int i = 0; i < r.listener_count; ++i)
    r.listeners[i](now);
}

}  // namespace

std::string Call::line() const {
  std::string out = op;
  for (const std::string& a : args) {
    out += ' ';
    out += a;
  }
  return out;
}

void set_sink(Sink sink) {
  recorder().sink = std::move(sink);
  update_enabled();
}

void clear_sink() {
  recorder().sink = nullptr;
  update_enabled();
}

bool on_enabled_change(EnabledListener listener) {
  Recorder& r = recorder();
  for (int i = 0; i < r.listener_count; ++i) {
    if (r.listeners[i] == listener) return true;
  }
  if (listener == nullptr || r.listener_count == kMaxListeners) return false;
  r.listeners[r.listener_count++] = listener;
  return true;
}

void emit(Call call) {
  Recorder& r = recorder();
  if (!r.sink || r.muted != 0 || r.emitting) return;
  r.emitting = true;
  try {
    r.sink(call);
  } catch (...) {
    r.emitting = false;
    throw;
  }
  r.emitting = false;
}

std::string arg(const char* text) {
  if (text == nullptr) return "null";
  std::string out = "\"";
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          char b[8];
          std::snprintf(b, sizeof b, "\\x%02x", c);
          out += b;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

std::string arg(const void* p) {
  if (p == nullptr) return "null";
  char b[32];
  std::snprintf(b, sizeof b, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
  return b;
}

Mute::Mute() {
  ++recorder().muted;
  update_enabled();
}

Mute::~Mute() {
  --recorder().muted;
  update_enabled();
}

Collector::Collector() : previous_(recorder().sink) {
  set_sink([this](const Call& c) { calls_.push_back(c); });
}

Collector::~Collector() {
  set_sink(std::move(previous_));
}

}  // namespace host::trace
