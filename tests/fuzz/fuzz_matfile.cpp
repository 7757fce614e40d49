// The MAT-file reader sfsim uses: arbitrary file contents read as a table, as the
// queries and as a saved state. Whatever is read must be what the file holds (a
// state written back and read again is the same value), a fault must be an input
// error, and nothing is left alive.
#include <sstream>

#include "tests/fuzz/fuzz_support.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"
#include "tools/sfsim/mxjson.hpp"

namespace {

template <class F>
void refused_or_read(F&& read) {
  try {
    read();
  } catch (const sfsim::InputError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::HostAccount account;
  const std::string path = fuzz::scratch_file(data, size);
  refused_or_read([&] {
    const std::vector<double> x = sfsim::mat::read_vector(path, "x");
    const sfsim::Table t = sfsim::mat::read_table(path, "x", "y", x.size(), "the fuzzer");
    if (t.x.size() != x.size() ||
        (!x.empty() && std::memcmp(t.x.data(), x.data(), x.size() * sizeof(double)) != 0)) {
      std::fprintf(stderr, "fuzz: the table's x differs from the vector x\n");
      std::abort();
    }
  });
  refused_or_read([&] {
    std::unique_ptr<sfsim::Queries> q = sfsim::mat::read_queries(path, "z");
    double z = 0;
    std::int64_t n = 0;
    while (q->next(z))
      ++n;
    if (n != q->count() || n == 0) {
      std::fprintf(stderr, "fuzz: %lld queries counted, %lld read\n",
                   static_cast<long long>(q->count()), static_cast<long long>(n));
      std::abort();
    }
  });
  std::string once;
  refused_or_read([&] {
    host::engine::MxPtr state = sfsim::mat::read_state(path);
    once = sfsim::dump(sfsim::to_json(state.get()));
    std::ostringstream out;
    sfsim::mat::write_value(out, sfsim::mat::kStateVariable, state.get());
    const std::string bytes = out.str();
    fuzz::scratch_file(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  });
  if (!once.empty()) {
    try {
      host::engine::MxPtr again = sfsim::mat::read_state(path);
      const std::string twice = sfsim::dump(sfsim::to_json(again.get()));
      if (once != twice) {
        std::fprintf(stderr, "fuzz: a state changed on its way back:\n%s\n%s\n", once.c_str(),
                     twice.c_str());
        std::abort();
      }
    } catch (const sfsim::InputError& e) {
      std::fprintf(stderr, "fuzz: a state written back is refused: %s\n", e.what());
      std::abort();
    }
  }
  account.finish("reading a MAT-file");
  return 0;
}
