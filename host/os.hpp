// What differs between the operating systems for the engine and the tools: loading
// a shared library and finding a symbol in it, the running program's own file, and
// whether a stream is a terminal. One implementation per system, chosen by the build
// (host/os/os_posix.cpp, host/os/os_windows.cpp).
#pragma once

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

// Standard output and error carry their bytes as written (no line-end translation).
void use_binary_stdio();

// Standard error is a terminal.
bool stderr_is_terminal();

}  // namespace host::os
