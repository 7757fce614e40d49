// The saved-state reader: arbitrary file contents through the JSON reader into host
// arrays. Every value read writes back to JSON that reads again to the same value,
// and nothing is left alive.
#include "tests/fuzz/fuzz_support.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/mxjson.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::HostAccount account;
  const std::string path = fuzz::scratch_file(data, size);
  try {
    const sfsim::Json value = sfsim::read_json_file(path);
    host::engine::MxPtr array = sfsim::from_json(value, path);
    if (!array) {
      std::fprintf(stderr, "fuzz: from_json answered no array\n");
      std::abort();
    }
    const std::string once = sfsim::dump(sfsim::to_json(array.get()));
    host::engine::MxPtr again = sfsim::from_json(sfsim::Json::parse(once), "written back");
    const std::string twice = sfsim::dump(sfsim::to_json(again.get()));
    if (once != twice) {
      std::fprintf(stderr, "fuzz: a value changed on its way back:\n%s\n%s\n", once.c_str(),
                   twice.c_str());
      std::abort();
    }
  } catch (const sfsim::UserError&) {
  } catch (const std::runtime_error&) {  // host errors, and values JSON cannot express
  }
  account.finish("reading a state");
  return 0;
}
