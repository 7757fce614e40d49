#include <dlfcn.h>
#include <unistd.h>

#include <fstream>
#include <system_error>

#include "host/os.hpp"

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

void use_binary_stdio() {}

bool stderr_is_terminal() {
  return isatty(2) != 0;
}

}  // namespace host::os
