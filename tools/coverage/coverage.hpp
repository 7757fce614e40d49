// The coverage report of a run: what the chart runtime recorded of each block's
// chart while it ran (host/sf_runtime_host.hpp, the coverage records), written as
// JSON or as one self-contained HTML page. sfsim and sfblock both write it; the
// runtime they read is the one their host links (the stand-in's or Octave's).
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tools::coverage {

enum class Format { Json, Html };

// The format a file name asks for by its extension, .json or .html (any case);
// nullopt for any other name.
std::optional<Format> format_of(std::string_view path);

// What is wrong with a file name that names no format, to follow the quoted name.
inline constexpr const char* kFormatFault =
    "does not end in .json or .html: the coverage report is written as JSON or HTML only";

// A run to report on. The runtime records of its blocks must still be there (before
// the runtime is reset), and values of data items are in them only when coverage
// recording was on while the blocks stepped.
struct Run {
  std::string model;
  int chart = 0;
  int table_length = 0;
  const double* x = nullptr;  // the table's breakpoints, table_length of them
  // Each block's registration (chart number, instance number), as the driver
  // reports them; {0, 0} for a block that never registered.
  std::vector<std::array<unsigned, 2>> blocks;
};

void write_json(std::ostream& out, const Run& run);
void write_html(std::ostream& out, const Run& run);
void write(std::ostream& out, Format format, const Run& run);

}  // namespace tools::coverage
