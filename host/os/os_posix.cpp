#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <fstream>
#include <system_error>

#include "host/os.hpp"
#include "host/os/scratch_table.hpp"

namespace host::os {

void* open_library(const std::string& path, std::string* why) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle && why) {
    const char* text = dlerror();
    *why = text ? text : "unknown";
  }
  return handle;
}

void* find_symbol(void* library, const char* name) {
  return dlsym(library, name);
}

void close_library(void* library) {
  dlclose(library);
}

std::string library_path_of(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || !info.dli_fname) return {};
  return info.dli_fname;
}

bool is_library_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, sizeof magic) && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' &&
         magic[3] == 'F';
}

std::filesystem::path executable_path() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self;
}

std::uint64_t physical_memory() {
  const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
  return pages > 0 && page > 0
             ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page)
             : 0;
}

void use_binary_stdio() {}

bool stderr_is_terminal() {
  return isatty(2) != 0;
}

bool stdin_is_terminal() {
  return isatty(0) != 0;
}

namespace {

// The file of a path (links followed), or of standard output for an empty path.
bool stat_of(const std::filesystem::path& path, struct stat& st) {
  return path.empty() ? fstat(1, &st) == 0 : stat(path.c_str(), &st) == 0;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_rdev == b.st_rdev;
}

}  // namespace

bool lands_on_stderr_terminal(const std::filesystem::path& path) {
  struct stat out {
  }, err{};
  if (!isatty(2) || fstat(2, &err) != 0 || !stat_of(path, out)) return false;
  // A terminal under another name (/dev/pts/N for /dev/stdout) is the same device.
  return same_file(out, err) || (S_ISCHR(out.st_mode) && out.st_rdev == err.st_rdev);
}

int standard_stream_of(const std::filesystem::path& path) {
  struct stat file {
  }, stream{};
  if (path.empty() || stat(path.c_str(), &file) != 0) return 0;
  for (int fd : {1, 2})
    if (fstat(fd, &stream) == 0 && same_file(file, stream)) return fd;
  return 0;
}

std::FILE* create_new_file(const std::filesystem::path& path, int* error, unsigned mode) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      static_cast<mode_t>(mode & 0777));
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "w+b");
  if (file == nullptr) {
    const int code = errno;
    if (fd >= 0) {
      close(fd);
      unlink(path.c_str());
    }
    if (error) *error = code;
  }
  return file;
}

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void on_interrupt(int sig) {
  // The handler was reset to the default when it was entered (SA_RESETHAND); the
  // signal, blocked while it runs, ends the program as soon as it returns.
  scratch_table::remove_files([](const char* name) { unlink(name); });
  raise(sig);
}

}  // namespace

void remove_scratch_on_interrupt() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  for (int sig : kInterrupts) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction act {};
    act.sa_handler = on_interrupt;
    sigemptyset(&act.sa_mask);
    for (int other : kInterrupts)
      sigaddset(&act.sa_mask, other);
    act.sa_flags = SA_RESETHAND;
    sigaction(sig, &act, nullptr);
  }
}

int register_scratch(const std::string& path) {
  return scratch_table::add(path);
}

void unregister_scratch(int slot) {
  scratch_table::remove(slot);
}

}  // namespace host::os
