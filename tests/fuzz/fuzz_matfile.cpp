// The MAT-file reader sfsim uses: arbitrary file contents read as a table, as the
// queries and as a saved state. A fault must be an input error, a state written back
// must read again as the same value, and nothing is left alive.
#include <sstream>

#include "tests/fuzz/fuzz_support.hpp"
#include "tools/sfsim/matfile.hpp"

namespace {

[[noreturn]] void stop(const std::string& what) {
  std::fprintf(stderr, "fuzz: %s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace mat = sfsim::mat;
  const fuzz::HostAccount account;
  const std::string path = fuzz::scratch_file(data, size);
  std::string once;
  try {
    const std::size_t rows = mat::read_vector(path, "x").size();
    if (mat::read_table(path, "x", "y", rows, "the fuzzer").x.size() != rows) stop("table rows");
  } catch (const sfsim::UserError&) {
  }
  try {
    std::unique_ptr<sfsim::Queries> q = mat::read_queries(path, "z");
    std::int64_t n = 0;
    for (double z = 0; q->next(z);)
      ++n;
    if (n != q->count() || n == 0) stop("queries counted and read differ");
  } catch (const sfsim::UserError&) {
  }
  try {  // written back, read again and written again: the same bytes
    std::ostringstream out;
    mat::write_value(out, mat::kStateVariable, mat::read_state(path).get());
    once = out.str();
    fuzz::scratch_file(reinterpret_cast<const std::uint8_t*>(once.data()), once.size());
  } catch (const sfsim::UserError&) {
  }
  if (!once.empty()) {
    try {
      std::ostringstream twice;
      mat::write_value(twice, mat::kStateVariable, mat::read_state(path).get());
      if (once != twice.str()) stop("a state changed on its way back");
    } catch (const sfsim::UserError& e) {
      stop(std::string("a state written back is refused: ") + e.what());
    }
  }
  account.finish("reading a MAT-file");
  return 0;
}
