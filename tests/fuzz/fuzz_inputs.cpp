// sfsim's readers of table files and query files on arbitrary file contents: an
// answer or an input error, nothing else.
#include <cmath>
#include <cstdlib>

#include "tests/fuzz/fuzz_support.hpp"
#include "tools/sfsim/inputs.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the reader (and the table's row count).
  const unsigned choice = data[0];
  const std::string path = fuzz::scratch_file(data + 1, size - 1);
  try {
    if (choice & 1) {
      // The streamed reader gives as many queries as it announces.
      const auto queries = sfsim::query_file(path);
      std::int64_t read = 0;
      for (double z; queries->next(z);)
        ++read;
      if (read != queries->count()) {
        std::fprintf(stderr, "fuzz: %lld queries announced, %lld read\n",
                     static_cast<long long>(queries->count()), static_cast<long long>(read));
        std::abort();
      }
    } else {
      const std::size_t rows = 2 + (choice >> 1) % 6;
      const sfsim::Table t = sfsim::read_table(path, rows, "the fuzz chart");
      if (t.x.size() != rows || t.y.size() != rows) {
        std::fprintf(stderr, "fuzz: a table of %zu rows read as %zu x, %zu y\n", rows, t.x.size(),
                     t.y.size());
        std::abort();
      }
      for (double z : sfsim::default_queries(t)) {
        (void)z;
      }
    }
  } catch (const sfsim::UserError&) {
  }
  return 0;
}
