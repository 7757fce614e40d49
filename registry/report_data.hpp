// The data a resolved-functions report is built from: the library files that the
// charts' functions resolve to, and one row per resolved call. Each model keeps its
// own files and rows in models/<model>/report_rows.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace registry {

// A file of the host's library as the report names it, with its time stamps as the
// model saw them.
struct LibraryFile {
  const char* text;
  uint32_t file_time_lo;
  uint32_t m_file_time_lo;  // 0 except for a file that has one
};

// Where a call is made: nothing (the chart's own code), or a library file (1-based
// key into the file table), optionally narrowed to one of its subfunctions.
struct CallSite {
  int file;                 // 0: the chart's own code
  const char* subfunction;  // null: the file's main function
};

struct ResolvedRow {
  CallSite context;
  const char* name;
  const char* dominant_type;  // "" for none
  int resolved;               // 1-based key into the file table
};

// What a model's report hook provides.
struct ReportRows {
  std::span<const LibraryFile> files;
  std::span<const ResolvedRow> rows;
};

// Room for the longest context text: a file text, "!" and a subfunction name.
inline constexpr std::size_t kContextCapacity = 192;

constexpr std::size_t text_length(const char* text) {
  std::size_t n = 0;
  while (text[n] != '\0')
    ++n;
  return n;
}

// True when every row names files of the table and every context fits its buffer.
constexpr bool rows_are_consistent(std::span<const LibraryFile> files,
                                   std::span<const ResolvedRow> rows) {
  const int count = static_cast<int>(files.size());
  for (const ResolvedRow& row : rows) {
    if (row.resolved < 1 || row.resolved > count) return false;
    if (row.context.file < 0 || row.context.file > count) return false;
    if (row.name == nullptr || row.dominant_type == nullptr) return false;
    if (row.context.file == 0) {
      if (row.context.subfunction != nullptr) return false;
      continue;
    }
    std::size_t length = text_length(files[row.context.file - 1].text);
    if (row.context.subfunction != nullptr) length += 1 + text_length(row.context.subfunction);
    if (length >= kContextCapacity) return false;
  }
  return true;
}

}  // namespace registry
