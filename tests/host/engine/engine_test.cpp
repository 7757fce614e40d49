// The engine itself: loading, block layout, MATLAB-level calls, host errors raised
// through a call, the order of the host calls around start and terminate, and a
// step that allocates nothing.
#include <gmock/gmock.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "host/os.hpp"
#include "host/trace.hpp"
#include "tests/e2e/e2e.hpp"
#include "tests/support/heap_counter.hpp"

namespace {

using host::engine::Block;
using host::engine::BlockOptions;
using host::engine::CallResult;
using host::engine::Engine;
using host::engine::MxPtr;
using namespace e2e;

class EngineTest : public HostTest {};

TEST_F(EngineTest, LoadsByPathAndNamesTheModel) {
  Engine engine;
  auto& h = engine.load(plugin_of("Harnvale"));
  EXPECT_EQ(h.model(), "Harnvale");
  EXPECT_NE(h.entry(), nullptr);
  // Another spelling of the same file is the same plug-in.
  const std::string path = plugin_of("Harnvale");
  const auto slash = path.rfind('/');
  const std::string other = path.substr(0, slash) + "/./" + path.substr(slash + 1);
  EXPECT_EQ(&engine.load(other), &h);
  EXPECT_EQ(engine.load(plugin_of("Quimbrel")).model(), "Quimbrel");

  EXPECT_THROW(engine.load("/nonexistent/Nothing_sfun.mexa64"), std::runtime_error);
  // A shared library without mexFunction is refused (the host's own libmx).
  const std::string libmx = host::os::library_path_of(reinterpret_cast<void*>(&mxCreateString));
  ASSERT_FALSE(libmx.empty());
  try {
    engine.load(libmx);
    ADD_FAILURE() << "loaded " << libmx;
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr("mexFunction"));
  }
}

TEST_F(EngineTest, RefusesBadBlockOptions) {
  Engine engine;
  auto& h = engine.load(plugin_of("Harnvale"));
  EXPECT_THROW(engine.add_block(h, {1, 0}), std::invalid_argument);
  EXPECT_THROW(engine.add_block(h, {0, 10}), std::invalid_argument);
}

// A named chart (Quimbrel's chart 2): the names and path the block is given.
TEST_F(EngineTest, LaysOutTheBlockAsTheHostDoes) {
  Engine engine;
  auto& q = engine.load(plugin_of("Quimbrel"));
  BlockOptions opts;
  opts.chart = 2;
  opts.table_length = chart_case("Quimbrel", 2).N;
  opts.rate = host::engine::Rate::Discrete;
  opts.discrete_period = 0.25;
  Block& a = engine.add_block(q, opts);
  Block& b = engine.add_block(q, opts);
  SimStruct* S = a.simstruct();
  EXPECT_EQ(S->root, engine.root());
  EXPECT_EQ(ssGetRootSS(S), engine.root());
  EXPECT_STREQ(S->model_name, "Quimbrel");
  EXPECT_STREQ(S->sf_machine_name, "Quimbrel");
  EXPECT_EQ(S->sf_chart_number, 2);
  EXPECT_STREQ(S->path, "Quimbrel/Chart2");
  EXPECT_STRNE(b.simstruct()->path, S->path);
  EXPECT_NE(a.handle(), b.handle());
  EXPECT_EQ(ssGetNumInputPorts(S), 3);
  EXPECT_EQ(S->input_ports[0].signal, a.x());
  EXPECT_EQ(S->input_ports[0].width, opts.table_length);
  EXPECT_EQ(S->input_ports[1].signal, a.y());
  EXPECT_EQ(S->input_ports[2].signal, &a.z());
  EXPECT_EQ(S->num_output_ports, 2);
  EXPECT_EQ(*static_cast<double*>(ssGetOutputPortSignal(S, 1)), a.y1());
  EXPECT_EQ(S->sample_periods[0], 0.25);
  EXPECT_EQ(ssGetSimStateCompliance(S), SS_SIM_STATE_COMPLIANCE_OWN);
  EXPECT_EQ(S->host_block_data, nullptr);
  ASSERT_NE(S->mdl_info, nullptr);
  EXPECT_NE(S->mdl_info->generic_fcn, nullptr);

  engine.set_time(0.5, true);
  engine.set_time(0.75, false);
  EXPECT_EQ(*S->mdl_info->t, 0.75);
  EXPECT_EQ(S->mdl_info->stored_time, 0.5);
  EXPECT_FALSE(engine.major());

  // Code 21 answers the block handle.
  double handle = 0;
  EXPECT_NE(S->mdl_info->generic_fcn(S, SS_GEN_BLOCK_HANDLE, 0, &handle), 0);
  EXPECT_EQ(handle, a.handle());
}

TEST_F(EngineTest, MatlabLevelCallsReturnOwnedOutputsOrRaise) {
  {
    Engine engine;
    const models::ModelView& m = models::catalogue().front();
    auto& h = engine.load(plugin_of(m.name));
    MxPtr command(mxCreateString("sf_get_check_sum"));
    MxPtr sub(mxCreateString("chart"));
    MxPtr two(mxCreateDoubleScalar(2.0));
    auto out = h.call_matlab(1, {command.get(), sub.get(), two.get()});
    ASSERT_NE(out[0], nullptr);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(mxGetPr(out[0].get())[i], m.charts[1].checksum[i]);
    }

    MxPtr unknown(mxCreateString("no_such_command"));
    try {
      h.call_matlab(1, {unknown.get()});
      ADD_FAILURE() << "no error raised";
    } catch (const host::HostError& e) {
      EXPECT_STREQ(e.what(), "Unsuccessful command.");
    }
    // A negative output count is a direct method call, not a MATLAB-level one.
    EXPECT_THROW(h.call_matlab(-1, {command.get()}), std::invalid_argument);
  }
  expect_clean();
}

// A chart number with no value to read stops a MATLAB-level call with a host error
// that names the input, as Octave stops it (tests/host/octave/queries_test.m holds
// the same rows); a number of any class, or a text, is read as its first value.
TEST_F(EngineTest, MatlabLevelChartNumbersOfEveryKind) {
  mxArray* int8_two = mxCreateNumericMatrix_700(1, 1, mxINT8_CLASS, mxREAL);
  *static_cast<std::int8_t*>(mxGetData(int8_two)) = 2;
  // The argument, and the chart whose words answer ("0": none) or the refused array.
  const std::pair<mxArray*, const char*> cases[] = {
      {mxCreateCellMatrix_700(1, 1), "cell[1x1]"},
      {mxCreateStructMatrix_700(1, 1, 0, nullptr), "struct[1x1]"},
      {mxCreateStructMatrix_700(0, 0, 0, nullptr), "struct[0x0]"},
      {mxCreateDoubleMatrix_700(0, 0, mxREAL), "double[0x0]"},
      {mxCreateDoubleMatrix_700(1, 0, mxREAL), "double[1x0]"},
      {mxCreateString(""), "char[0x0]"},
      {mxCreateString("ab"), "0"},
      {int8_two, "2"},
      {mxCreateLogicalScalar(true), "1"},
      {mxCreateDoubleScalar(2.9), "2"}};
  {
    Engine engine;
    const models::ModelView& m = models::catalogue().front();
    auto& h = engine.load(plugin_of(m.name));
    MxPtr command(mxCreateString("sf_get_check_sum")), sub(mxCreateString("chart"));
    for (const auto& [array, want] : cases) {
      MxPtr number(array);
      const std::string w = want;
      if (w.size() > 1) {
        try {
          h.call_matlab(1, {command.get(), sub.get(), number.get()});
          ADD_FAILURE() << w << " accepted";
        } catch (const host::HostError& e) {
          EXPECT_EQ(e.what(), "mxGetScalar: input 3 (" + w + ") has no value to read as a number.");
        }
        continue;
      }
      const auto out = h.call_matlab(1, {command.get(), sub.get(), number.get()});
      const std::uint32_t* words = w == "2"   ? m.charts[1].checksum.data()
                                   : w == "1" ? m.charts[0].checksum.data()
                                              : nullptr;
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(mxGetPr(out[0].get())[i], words != nullptr ? words[i] : 0.0) << w;
    }
  }
  expect_clean();
}

// Flags outside the int range reach the plug-in as they are (it refuses them); a
// state that a bare mdlGetSimState handed back is the engine's to free; a
// mdlSetSimState without a state is not made.
TEST_F(EngineTest, OddFlagsAndBareSimStateCallsLeaveNothing) {
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 7);
  {
    Engine engine;
    Block& block = started_block(engine, c, t);
    for (double flag : {1e10, -1e10, 2147483648.0, std::nan("")}) {
      const CallResult r = block.call(flag);
      EXPECT_FALSE(r.ok) << flag;
      EXPECT_EQ(r.error, "Invalid flag encountered in simulink") << flag;
    }
    EXPECT_TRUE(ok(block.call(SS_METHOD_GET_SIM_STATE)));
    EXPECT_TRUE(
        ok(block.call(SS_METHOD_GET_SIM_STATE)));  // the first state is freed, the second kept
    const CallResult set = block.call(SS_METHOD_SET_SIM_STATE);
    EXPECT_TRUE(set.refused);
    EXPECT_FALSE(set.ok);
    // Nor after a mdlSetSimState with a state has succeeded: that state is not kept
    // for a later bare call.
    MxPtr saved = block.get_sim_state();
    ASSERT_NE(saved.get(), nullptr);
    EXPECT_TRUE(ok(block.set_sim_state(saved.get())));
    const CallResult again = block.call(SS_METHOD_SET_SIM_STATE);
    EXPECT_TRUE(again.refused);
    EXPECT_FALSE(again.ok);
  }
  expect_clean();
}

TEST_F(EngineTest, HostErrorRaisedThroughACallIsTheBlocksError) {
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 41);
  {
    Engine engine;
    Block& block = started_block(engine, c, t);
    block.z() = t.x[9];
    ASSERT_TRUE(ok(block.outputs()));
    const double y1 = block.y1();
    // Restoring runs outside the runtime's method wrapper: a state that is not a
    // saved state raises through mexFunction.
    MxPtr bogus(mxCreateDoubleScalar(5.0));
    const CallResult r = block.set_sim_state(bogus.get());
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(same_bits(y1, block.y1()));
    EXPECT_EQ(mxGetScalar(bogus.get()), 5.0);

    // Flag 101 is left to the runtime, which reports it for the block.
    const CallResult sample_times = block.call(SS_METHOD_INITIALIZE_SAMPLE_TIMES);
    EXPECT_FALSE(sample_times.ok);
    EXPECT_THAT(sample_times.error, ::testing::HasSubstr("mdlInitializeSampleTimes"));

    block.z() = t.x[10];
    ASSERT_TRUE(ok(block.outputs()));
    EXPECT_TRUE(same_bits(reference(t, t.x[10], c.extrapolate), block.y1()));
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

// The host calls of start and terminate that belong to the model, the chart records
// and the lock, in order, for the first and the second block of a model.
std::vector<std::string> lifecycle_ops(const host::trace::Collector& calls) {
  static const char* const kOps[] = {"callMdlMethodAndReportError",
                                     "sf_debug_create_debug_instance_struct",
                                     "sf_debug_initialize_machine",
                                     "call_sf_machine_global_method_dispatcher",
                                     "sf_clear_error_manager_info",
                                     "utMalloc",
                                     "utFree",
                                     "sf_debug_terminate",
                                     "mexIsLocked",
                                     "mexLock",
                                     "mexUnlock"};
  std::vector<std::string> ops;
  for (const auto& call : calls.calls()) {
    for (const char* op : kOps) {
      if (call.op == op) ops.push_back(call.op);
    }
  }
  return ops;
}

TEST_F(EngineTest, StartAndTerminateMakeTheirHostCallsInOrder) {
  const ChartCase c = chart_where(any_chart);
  {
    Engine engine;
    auto& plugin = engine.load(c.plugin);
    Block& a = engine.add_block(plugin, {c.chart, c.N});
    Block& b = engine.add_block(plugin, {c.chart, c.N});
    using V = std::vector<std::string>;
    {
      host::trace::Collector calls;
      ASSERT_TRUE(ok(a.start()));
      EXPECT_EQ(lifecycle_ops(calls),
                (V{"callMdlMethodAndReportError", "sf_debug_create_debug_instance_struct",
                   "sf_debug_initialize_machine", "call_sf_machine_global_method_dispatcher",
                   "utMalloc", "utMalloc", "mexIsLocked", "mexLock"}));
    }
    {
      host::trace::Collector calls;
      ASSERT_TRUE(ok(b.start()));
      EXPECT_EQ(lifecycle_ops(calls),
                (V{"callMdlMethodAndReportError", "call_sf_machine_global_method_dispatcher",
                   "utMalloc", "utMalloc", "mexIsLocked"}));
    }
    {
      host::trace::Collector calls;
      ASSERT_TRUE(ok(a.terminate()));
      EXPECT_EQ(lifecycle_ops(calls),
                (V{"callMdlMethodAndReportError", "sf_clear_error_manager_info", "utFree", "utFree",
                   "mexIsLocked", "mexUnlock", "mexIsLocked"}));
    }
    {
      host::trace::Collector calls;
      ASSERT_TRUE(ok(b.terminate()));
      EXPECT_EQ(lifecycle_ops(calls),
                (V{"callMdlMethodAndReportError", "sf_clear_error_manager_info", "utFree", "utFree",
                   "sf_debug_terminate", "mexIsLocked"}));
    }
  }
  expect_clean();
}

TEST_F(EngineTest, AStepAllocatesNothing) {
  if (!test_support::counting_heap()) GTEST_SKIP() << "allocations are not counted in this build";
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 51);
  {
    Engine engine;
    Block& block = started_block(engine, c, t);
    block.z() = t.x[100];
    ASSERT_TRUE(ok(block.outputs()));  // warm-up
    const std::size_t live = host::mx::live_count();
    // What the host's own call scope costs, per call, apart from the engine and the
    // plug-in: an empty call context opened and closed as often as the steps.
    long mark = test_support::heap_allocations();
    for (int k = 0; k < 5; ++k) {
      host::mex::CallContext context(block.plugin().id());
      context.close(nullptr, 0);
    }
    const long host_scopes = test_support::heap_allocations() - mark;

    mark = test_support::heap_allocations();
    for (int k = 0; k < 5; ++k) {
      engine.set_time(k * host::engine::kStepSize, true);
      block.z() = t.x[100 + k] + 1e-4;
      ASSERT_TRUE(ok(block.outputs()));
    }
    // Neither the engine nor the plug-in allocates in a step.
    EXPECT_LE(test_support::heap_allocations() - mark, host_scopes) << "baseline " << host_scopes;
    EXPECT_EQ(host::mx::live_count(), live);
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

// A block whose ports are narrower (or wider) than the inputs its chart reads (Quimbrel's chart
// 1 reads 2722 values, the block was laid out for Harnvale's 2402): start is refused
// with the widths named, and no step reaches the plug-in. A block with the right
// widths learns the same widths from its chart and runs.
TEST_F(EngineTest, RefusesABlockWhoseChartReadsOtherInputWidths) {
  const ChartCase q = chart_case("Quimbrel", 1);
  const int narrow = chart_case("Harnvale", 1).N;
  {
    Engine engine;
    Block& wrong = engine.add_block(engine.load(q.plugin), {q.chart, narrow});
    Block& right = engine.add_block(engine.load(q.plugin), {q.chart, q.N});
    ASSERT_TRUE(ok(wrong.set_work_widths()));
    const CallResult started = wrong.start();
    EXPECT_FALSE(started.ok);
    EXPECT_TRUE(started.refused);
    EXPECT_EQ(started.error,
              "mdlStart of Quimbrel/Chart1: its chart reads 2722 values from input port 0, but "
              "the port is 2402 wide");
    EXPECT_EQ(wrong.chart_input_widths(), (std::vector<int>{q.N, q.N, 1}));
    {
      host::trace::Collector calls;
      const CallResult step = wrong.outputs();
      EXPECT_FALSE(step.ok);
      EXPECT_TRUE(step.refused);
      EXPECT_TRUE(calls.calls().empty()) << calls.calls().size() << " host calls";
    }
    EXPECT_TRUE(ok(wrong.terminate()));
    // A port wider than the chart reads (Harnvale's chart 1 on Quimbrel's width).
    const ChartCase h = chart_case("Harnvale", 1);
    Block& wide = engine.add_block(engine.load(h.plugin), {h.chart, q.N});
    ASSERT_TRUE(ok(wide.set_work_widths()));
    EXPECT_EQ(wide.start().error,
              "mdlStart of Harnvale/Chart1: its chart reads 2402 values from input port 0, but "
              "the port is 2722 wide");
    EXPECT_TRUE(wide.outputs().refused);
    EXPECT_TRUE(ok(wide.terminate()));

    const Table t = make_table(q.N, 7);
    right.set_inputs(t.x.data(), t.y.data(), t.x[3]);
    ASSERT_TRUE(ok(right.set_work_widths()));
    ASSERT_TRUE(ok(right.start()));
    EXPECT_EQ(right.chart_input_widths(), (std::vector<int>{q.N, q.N, 1}));
    ASSERT_TRUE(ok(right.initialize()));
    ASSERT_TRUE(ok(right.outputs()));
    EXPECT_TRUE(same_bits(reference(t, t.x[3], false), right.y1()));
    ASSERT_TRUE(ok(right.terminate()));
  }
  expect_clean();
}

// Code generation registers nothing with the debugger: start succeeds, but a step on
// widths that are unknown is refused (the message names the block: a named chart).
TEST_F(EngineTest, NoStepOnWidthsTheChartDidNotRecord) {
  const ChartCase h = chart_case("Harnvale", 3);
  {
    Engine engine;
    BlockOptions opts;
    opts.chart = h.chart;
    opts.table_length = h.N;
    opts.mode = host::engine::SimMode::CodeGen;
    Block& b = engine.add_block(engine.load(h.plugin), opts);
    ASSERT_TRUE(ok(b.set_work_widths()));
    ASSERT_TRUE(ok(b.start()));
    EXPECT_TRUE(b.chart_input_widths().empty());
    const CallResult step = b.outputs();
    EXPECT_TRUE(step.refused);
    EXPECT_EQ(step.error,
              "outputs of Harnvale/Chart3 refused: its chart recorded no input widths "
              "at start");
    ASSERT_TRUE(ok(b.terminate()));
  }
  expect_clean();
}

// A plug-in path names a file: a bare name is never looked up on the loader's search
// path, and a file that is no library says so.
TEST_F(EngineTest, LoadsOnlyTheFileNamed) {
  Engine engine;
  struct Case {
    std::string path, message;
  } const cases[] = {
      {"libm.so.6", "cannot load plug-in 'libm.so.6': no such file"},
      {"libc.so.6", "cannot load plug-in 'libc.so.6': no such file"},
      {"/proc/self/status", "'/proc/self/status' is not a plug-in: not a shared library"},
  };
  for (const auto& c : cases) {
    try {
      engine.load(c.path);
      ADD_FAILURE() << "loaded " << c.path;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  // The model a caller names wins over the file's name.
  EXPECT_EQ(engine.load(plugin_of("Quimbrel"), "Quimbrel").model(), "Quimbrel");
}

// A new file is made only where nothing of its name exists: a file, a folder or a
// link (to a file or to nothing) planted at the name is refused, never written
// through, and what it leads to is unchanged.
TEST(OsTest, NewFilesAreMadeOnlyUnderFreeNames) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("os_test_" + std::to_string(std::rand()));
  fs::create_directories(dir);
  auto write = [](const fs::path& p, const char* text) {
    std::ofstream(p, std::ios::binary) << text;
  };
  auto read = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  write(dir / "target", "kept");
  write(dir / "file", "kept");
  fs::create_directory(dir / "folder");
  std::error_code no_links;
  fs::create_symlink(dir / "target", dir / "link", no_links);
  fs::create_symlink(dir / "absent", dir / "dangling", no_links);
  struct Case {
    const char* name;
    int error;  // 0: made
    bool link;
  } const cases[] = {
      {"new", 0, false},      {"file", EEXIST, false},    {"folder", EEXIST, false},
      {"link", EEXIST, true}, {"dangling", EEXIST, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.link && no_links) continue;  // a system that makes no links here
    int error = 0;
    std::FILE* f = host::os::create_new_file(dir / c.name, &error);
    EXPECT_EQ(f == nullptr ? error : 0, c.error);
    if (f != nullptr) {
      EXPECT_GE(std::fputs("new", f), 0);
      std::fclose(f);
    }
  }
#ifndef _WIN32
  // Made private from its first moment when asked to be.
  int error = 0;
  std::FILE* f = host::os::create_new_file(dir / "private", &error, 0600);
  ASSERT_NE(f, nullptr) << error;
  std::fclose(f);
  EXPECT_EQ(fs::status(dir / "private").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
#endif
  EXPECT_EQ(read(dir / "new"), "new");
  EXPECT_EQ(read(dir / "target"), "kept");
  EXPECT_EQ(read(dir / "file"), "kept");
  EXPECT_FALSE(fs::exists(dir / "absent"));
  fs::remove_all(dir);
}

}  // namespace
