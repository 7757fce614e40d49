// The table of scratch files removed on an interrupt, shared by the systems'
// implementations: fixed slots of preallocated names, so that a signal handler can
// walk it without allocating or locking. A slot is claimed (`taken`), its name
// written, and only then marked `used`, which is all the handler reads; freeing
// clears `used` before the slot can be claimed again.
#pragma once

#include <atomic>
#include <cstring>
#include <string>

#include "host/os.hpp"

namespace host::os::scratch_table {

static_assert(std::atomic<bool>::is_always_lock_free);

struct Slot {
  std::atomic<bool> taken{false}, used{false};
  char name[kMaxScratchName + 1];
};

inline Slot slots[kMaxScratchFiles];

inline int add(const std::string& path) {
  if (path.empty() || path.size() > kMaxScratchName || path.find('\0') != std::string::npos)
    return -1;
  for (int i = 0; i < kMaxScratchFiles; ++i) {
    if (slots[i].taken.exchange(true)) continue;
    std::memcpy(slots[i].name, path.c_str(), path.size() + 1);
    slots[i].used.store(true);
    return i;
  }
  return -1;
}

inline void remove(int slot) {
  if (slot < 0 || slot >= kMaxScratchFiles) return;
  slots[slot].used.store(false);
  slots[slot].taken.store(false);
}

// Async-signal-safe as long as `unlink_name` is.
template <class Unlink>
void remove_files(Unlink unlink_name) {
  for (Slot& s : slots)
    if (s.used.load()) unlink_name(s.name);
}

}  // namespace host::os::scratch_table
