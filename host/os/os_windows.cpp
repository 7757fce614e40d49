#include <io.h>
#include <windows.h>

#include <fstream>

#include "host/os.hpp"

namespace host::os {

void* open_library(const std::string& path, std::string* why) {
  // The altered search path lets a library found by its full path bring the host
  // libraries beside it.
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module && why) {
    const DWORD code = GetLastError();
    char text[512] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' '))
      text[--n] = '\0';
    *why = n > 0 ? std::string(text) : "error " + std::to_string(code);
  }
  return reinterpret_cast<void*>(module);
}

void* find_symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void close_library(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}

bool is_library_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[2] = {};
  return in.read(magic, sizeof magic) && magic[0] == 'M' && magic[1] == 'Z';
}

std::filesystem::path executable_path() {
  wchar_t buffer[32768];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, sizeof buffer / sizeof buffer[0]);
  if (n == 0 || n >= sizeof buffer / sizeof buffer[0]) return {};
  return std::filesystem::path(std::wstring(buffer, n));
}

bool stderr_is_terminal() {
  return _isatty(2) != 0;
}

}  // namespace host::os
