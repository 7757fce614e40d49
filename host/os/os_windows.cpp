#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <windows.h>
#include <cerrno>
#include <cstdio>

#include <fstream>

#include "host/os.hpp"
#include "host/os/scratch_table.hpp"

namespace host::os {

void* open_library(const std::string& path, std::string* why) {
  // The standard search: a plug-in's host libraries are the running program's, found
  // in the program's own folder, as in the host's installation.
  HMODULE module = LoadLibraryA(path.c_str());
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

std::string library_path_of(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module))
    return {};
  char buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(module, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
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

std::uint64_t physical_memory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

void use_binary_stdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool stderr_is_terminal() {
  return _isatty(2) != 0;
}

bool stdin_is_terminal() {
  return _isatty(0) != 0;
}

bool lands_on_stderr_terminal(const std::filesystem::path& path) {
  // Standard output and error both on the console: one screen. A named file is
  // never the console here.
  return path.empty() && _isatty(1) != 0 && _isatty(2) != 0;
}

int standard_stream_of(const std::filesystem::path&) {
  return 0;  // no device names for the standard streams
}

namespace {

BOOL WINAPI on_console_event(DWORD) {
  scratch_table::remove_files([](const char* name) { DeleteFileA(name); });
  return FALSE;  // the default handling ends the program
}

}  // namespace

void remove_scratch_on_interrupt() {
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

std::FILE* create_new_file(const std::filesystem::path& path, int* error, unsigned /*mode*/) {
  // CREATE_NEW underneath: the call fails on any existing name, a link included.
  const int fd = _wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                        _S_IREAD | _S_IWRITE);
  std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "w+b");
  if (file == nullptr) {
    const int code = errno;
    if (fd >= 0) {
      _close(fd);
      _wunlink(path.c_str());
    }
    if (error) *error = code;
  }
  return file;
}

int register_scratch(const std::string& path) {
  return scratch_table::add(path);
}

void unregister_scratch(int slot) {
  scratch_table::remove(slot);
}

}  // namespace host::os
