// The MATLAB-level call NAME_sfun(args...) into both plug-ins with arbitrary
// arguments: an answer or a host error, and nothing left alive but what the
// plug-in keeps on purpose (persistent arrays).
#include "tests/fuzz/fuzz_plugins.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  host::engine::Engine& engine = fuzz::keeper();
  fuzz::Bytes in(data, size);
  const fuzz::HostAccount account;
  {
    host::engine::Plugin& plugin = engine.load(fuzz::pick_model(in).path);
    const int nlhs = static_cast<int>(in.below(4));
    const int nargs = static_cast<int>(in.below(7));
    std::vector<host::engine::MxPtr> args;
    std::vector<const mxArray*> prhs;
    for (int i = 0; i < nargs; ++i) {
      args.emplace_back(fuzz::make_array(in));
      prhs.push_back(args.back().get());
    }
    try {
      std::vector<host::engine::MxPtr> out = plugin.call_matlab(nlhs, prhs);
      for (const auto& o : out) {
        if (o && !host::mx::is_live(o.get())) {
          std::fprintf(stderr, "fuzz: an output is not a live array\n");
          std::abort();
        }
      }
    } catch (const host::HostError&) {
    }
    // Arguments are the caller's: the call must not have destroyed them.
    for (const mxArray* a : prhs) {
      if (!host::mx::is_live(a)) {
        std::fprintf(stderr, "fuzz: an argument was destroyed by the call\n");
        std::abort();
      }
    }
  }
  account.finish("a MATLAB-level call");
  return 0;
}
