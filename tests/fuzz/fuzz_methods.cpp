// Arbitrary sequences of S-function method calls on blocks of both plug-ins through
// the engine: flags in any order (before start, twice, after terminate), odd
// argument counts, foreign saved states, tables that turn bad, minor time steps,
// and MATLAB-level calls in between. The engine ends what is still started; after
// that no array but persistent ones and no host heap block may be left.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "host/sf_runtime_host.hpp"
#include "platform/simstruc.h"
#include "tests/fuzz/fuzz_plugins.hpp"

namespace {

using host::engine::Block;
using host::engine::BlockOptions;
using host::engine::MxPtr;

// Valid flags by name; then flags the host never sends (0, a negative one, one past
// the table, one outside the 32-bit range).
const double kFlags[] = {SS_METHOD_SET_WORK_WIDTHS,
                         SS_METHOD_PROCESS_PARAMETERS,
                         SS_METHOD_START,
                         SS_METHOD_INITIALIZE_CONDITIONS,
                         SS_METHOD_OUTPUTS,
                         SS_METHOD_ENABLE,
                         SS_METHOD_DISABLE,
                         SS_METHOD_GET_SIM_STATE,
                         SS_METHOD_SET_SIM_STATE,
                         SS_METHOD_RTW,
                         SS_METHOD_TERMINATE,
                         SS_METHOD_GET_TIME_OF_NEXT_VAR_HIT,
                         SS_METHOD_DERIVATIVES,
                         SS_METHOD_FLAG108,
                         SS_METHOD_CHECK_PARAMETERS,
                         SS_METHOD_SET_INPUT_PORT_WIDTH,
                         SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME,
                         SS_METHOD_EXT_MODE_EXEC,
                         SS_METHOD_INITIALIZE_PROPAGATION_PASS,
                         0,
                         -104,
                         146,
                         1e10};

// Strictly increasing breakpoints, values from the fuzzer, sometimes a flaw.
void fill_table(fuzz::Bytes& in, Block& b) {
  const int n = b.table_length();
  std::vector<double> x(static_cast<std::size_t>(n)), y(x.size());
  const double step = 0.001 + in.below(100);
  for (int i = 0; i < n; ++i) {
    x[i] = i * step - 3;
    y[i] = std::sin(i * 0.1) * in.below(50);
  }
  switch (in.below(6)) {
    case 0:
      x[in.below(static_cast<unsigned>(n))] = std::numeric_limits<double>::quiet_NaN();
      break;
    case 1:
      std::swap(x[1], x[2]);
      break;
    case 2:
      std::reverse(x.begin(), x.end());
      break;
    default:
      break;
  }
  b.set_inputs(x.data(), y.data(), in.real());
}

// A method call as a host makes it: any flag at any time, except a second mdlStart
// on a block that is started already (the host starts a block once per run; the
// plug-ins then clear the block's user data and lose the records of the first).
// Flags outside the 32-bit range go to mexFunction directly (the engine's own
// bookkeeping converts every flag it is given to int).
//
// The saved-state flags go through the engine's own calls for them, which hand
// the state over (mdlGetSimState) and in (mdlSetSimState).
void call(Block& b, double flag) {
  // The flag truncates to the method flag f.
  const auto is = [flag](int f) { return flag >= f && flag < f + 1; };
  if (is(SS_METHOD_START) && b.started()) return;
  if (is(SS_METHOD_GET_SIM_STATE)) {
    b.get_sim_state();
    return;
  }
  if (is(SS_METHOD_SET_SIM_STATE)) return;  // needs a state: see set_sim_state below
  if (!(flag > -2147483649.0 && flag < 2147483648.0)) {
    MxPtr f(mxCreateDoubleScalar(flag));
    MxPtr empty(mxCreateDoubleMatrix_700(0, 0, mxREAL));
    const mxArray* prhs[4] = {empty.get(), empty.get(), empty.get(), f.get()};
    mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(b.simstruct())};
    try {
      host::mex::call(b.plugin().id(), b.plugin().entry(), -1, plhs, 4, prhs);
    } catch (const host::HostError&) {
    }
    return;
  }
  b.call(flag);
}

// A direct call with an output or input count that the host never uses.
void odd_call(fuzz::Bytes& in, Block& b, std::vector<MxPtr>& keep) {
  static const double harmless[] = {SS_METHOD_OUTPUTS,
                                    SS_METHOD_SET_WORK_WIDTHS,
                                    SS_METHOD_PROCESS_PARAMETERS,
                                    SS_METHOD_INITIALIZE_CONDITIONS,
                                    SS_METHOD_ENABLE,
                                    SS_METHOD_DISABLE,
                                    SS_METHOD_RTW,
                                    0,
                                    999};
  const int nrhs = static_cast<int>(in.below(7));
  std::vector<const mxArray*> prhs;
  for (int i = 0; i < nrhs; ++i) {
    keep.emplace_back(i == 3 ? mxCreateDoubleScalar(harmless[in.below(9)]) : fuzz::make_array(in));
    prhs.push_back(keep.back().get());
  }
  mxArray* plhs[2] = {nullptr,
                      in.below(8) == 0 ? nullptr : reinterpret_cast<mxArray*>(b.simstruct())};
  const int nlhs = -1 - static_cast<int>(in.below(3));
  if (std::getenv("FUZZ_VERBOSE")) {
    std::fprintf(stderr, "  nlhs %d nrhs %d simstruct %d\n", nlhs, nrhs, plhs[1] != nullptr);
  }
  try {
    host::mex::call(b.plugin().id(), b.plugin().entry(), nlhs, plhs, nrhs,
                    prhs.empty() ? nullptr : prhs.data());
  } catch (const host::HostError&) {
  }
}

void query(fuzz::Bytes& in, Block& b, std::vector<MxPtr>& keep) {
  const int nargs = static_cast<int>(in.below(5));
  std::vector<const mxArray*> prhs;
  for (int i = 0; i < nargs; ++i) {
    keep.emplace_back(fuzz::make_array(in));
    prhs.push_back(keep.back().get());
  }
  try {
    b.plugin().call_matlab(static_cast<int>(in.below(2)), prhs);
  } catch (const host::HostError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::keeper();
  // A fresh chart runtime (every block of the last input has been terminated): its
  // records of charts registered by earlier inputs do not pile up.
  host::sf_runtime::reset();
  fuzz::Bytes in(data, size);
  const fuzz::HostAccount account;
  {
    std::vector<MxPtr> keep;  // arrays of this input: saved states, arguments
    host::engine::Engine engine;
    std::vector<Block*> blocks;
    const int count = 1 + static_cast<int>(in.below(3));
    for (int i = 0; i < count; ++i) {
      const fuzz::ModelCase& m = fuzz::pick_model(in);
      BlockOptions o;
      o.chart = 1 + static_cast<int>(in.below(static_cast<unsigned>(m.chart_count())));
      o.table_length = m.table_length(o.chart);
      o.rate = static_cast<host::engine::Rate>(in.below(3));
      o.discrete_period = in.flip() ? 0.1 : in.real();
      o.mode = static_cast<host::engine::SimMode>(in.below(3));
      o.sim_state_compliance = static_cast<int>(in.below(5));
      o.host_block_data = in.flip();
      blocks.push_back(&engine.add_block(engine.load(m.path), o));
      if (std::getenv("FUZZ_VERBOSE")) {
        std::fprintf(stderr, "block %s rate %d mode %d compliance %d host data %d\n",
                     blocks.back()->path().c_str(), static_cast<int>(o.rate),
                     static_cast<int>(o.mode), o.sim_state_compliance, o.host_block_data);
      }
      fill_table(in, *blocks.back());
    }
    MxPtr state;
    static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;  // to replay an input
    for (int op = 0; op < 48 && !in.empty(); ++op) {
      const unsigned which = in.below(static_cast<unsigned>(blocks.size()));
      Block& b = *blocks[which];
      const unsigned kind = in.below(12);
      if (verbose) std::fprintf(stderr, "block %u (%s) op %u\n", which, b.path().c_str(), kind);
      switch (kind) {
        case 0:
        case 1: {
          const double flag = kFlags[in.below(sizeof kFlags / sizeof kFlags[0])];
          if (verbose) std::fprintf(stderr, "  flag %g\n", flag);
          call(b, flag);
          break;
        }
        case 2:
          call(b, in.real());
          break;
        case 3:
          b.z() = in.flip() ? in.real() : static_cast<double>(in.below(10));
          b.outputs();
          break;
        case 4:
          if (MxPtr s = b.get_sim_state()) state = std::move(s);
          break;
        case 5:
          if (state && in.flip()) {
            b.set_sim_state(state.get());
          } else {
            keep.emplace_back(fuzz::make_array(in));
            b.set_sim_state(keep.back().get());
          }
          break;
        case 6:
          engine.set_time(in.flip() ? engine.time() + 0.01 : in.real(), in.below(4) != 0);
          break;
        case 7:
          fill_table(in, b);
          break;
        case 8:
          b.terminate();
          break;
        case 9:
          b.set_work_widths();
          call(b, SS_METHOD_START);
          b.initialize();
          break;
        case 10:
          odd_call(in, b, keep);
          break;
        default:
          query(in, b, keep);
          break;
      }
    }
  }
  account.finish("a sequence of method calls");
  return 0;
}
