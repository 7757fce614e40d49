// What differs between the operating systems for the engine and the tools: loading
// a shared library and finding a symbol in it, the running program's own file, the
// machine's memory, whether a stream is a terminal, making a new file without
// following a link, and the scratch files removed when the program is interrupted.
// One implementation per system, chosen by the build (host/os/os_posix.cpp,
// host/os/os_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace host::os {

// A loaded library, or null. Loading keeps the library's symbols to itself (they do
// not serve the symbols of libraries loaded later).
void* open_library(const std::string& path, std::string* why);
void* find_symbol(void* library, const char* name);
void close_library(void* library);
// The file begins as a shared library of this system does (ELF on POSIX systems, a
// PE image on Windows); false when it does not or cannot be read.
bool is_library_file(const std::filesystem::path& path);

// The file of the library or program that holds the address; empty when the system
// does not tell.
std::string library_path_of(const void* address);

// The running program's file; empty when the system does not tell.
std::filesystem::path executable_path();

// The machine's physical memory in bytes; 0 when the system does not tell.
std::uint64_t physical_memory();

// Standard output and error carry their bytes as written (no line-end translation).
void use_binary_stdio();

// Standard error is a terminal.
bool stderr_is_terminal();
// Standard input is a terminal (an interactive session).
bool stdin_is_terminal();
// What is written to the file at `path` (standard output when `path` is empty) lands
// on the terminal that standard error shows.
bool lands_on_stderr_terminal(const std::filesystem::path& path);
// 1 or 2 when the file at `path` (links followed) is the one that standard output or
// standard error writes to, such as /dev/stdout or a file the shell redirected a
// stream to; else 0.
int standard_stream_of(const std::filesystem::path& path);

// Makes a new file at `path` and opens it for reading and writing ("w+b"), in one
// step that fails when anything of that name exists already: a file, a folder, or a
// symbolic link, whatever it leads to (a link is never followed). POSIX: made with
// the permission bits `mode` (less the umask) from its first moment, so that a file
// that replaces a private one is never readable by others. Null when it fails, with
// the system's error code in `*error` (EEXIST when the name is taken).
std::FILE* create_new_file(const std::filesystem::path& path, int* error, unsigned mode = 0666);

// Scratch files removed when the program is interrupted. POSIX: SIGINT, SIGTERM and
// SIGHUP remove every file registered, then end the program as the signal does by
// default (a signal ignored when the program started stays ignored); SIGPIPE is
// ignored, so that a closed pipe shows as a failed write. Windows: the console's
// Ctrl+C, Ctrl+Break and close try to remove them before the default handling, from
// the handler's own thread; a file still open for writing cannot be deleted there,
// so this is best effort. The handler only unlinks names stored ahead of time in a
// fixed table.
void remove_scratch_on_interrupt();
// How many scratch files may be registered at once, and the longest name.
inline constexpr int kMaxScratchFiles = 64;
inline constexpr std::size_t kMaxScratchName = 4096;
// The slot that holds `path`, or -1 when the table is full or the name too long.
int register_scratch(const std::string& path);
// The slot is free again (the file was renamed into place or removed).
void unregister_scratch(int slot);

}  // namespace host::os
