// Allocation failure at every site: a whole life cycle of each chart (set-up,
// start, steps, save and restore, every command-line query, terminate) runs once
// to count its host allocations (utMalloc calls and arrays), then once more for
// every k with the k-th of them failing. Every run must end with a host error or
// with the same results as the undisturbed run, and leave no live array and a
// balanced host heap behind.
#include <new>
#include <string>
#include <vector>

#include "tests/e2e/e2e.hpp"

namespace {

using host::engine::Block;
using host::engine::BlockOptions;
using host::engine::CallResult;
using host::engine::Engine;
using host::engine::MxPtr;
using namespace e2e;

// The chart's view in the catalogue.
const models::ChartView& view_of(const ChartCase& c) {
  return models::find_model(c.model)->charts.at(static_cast<std::size_t>(c.chart - 1));
}

// What a life cycle saw: the outputs it produced and the first error, if any.
struct Outcome {
  std::vector<double> y1;  // one per output step, then per query answer
  std::string error;       // empty: the whole cycle succeeded
  bool ended_by_error() const { return !error.empty(); }
};

class LifeCycle {
 public:
  LifeCycle(Block& block, const ChartCase& c, const Table& t) : b_(block), c_(c), t_(t) {}

  Outcome run() {
    if (!method(b_.set_work_widths()) || !method(b_.process_parameters()) || !method(b_.start()) ||
        !method(b_.initialize()))
      return out_;
    for (double z : {t_.x[1], t_.x[c_.N / 2] + 1e-3, t_.x[c_.N - 1] + 0.5}) {
      if (!step(z)) return out_;
    }
    CallResult r;
    MxPtr state = b_.get_sim_state(&r);
    if (!method(r) || !step(t_.x[3]) || !method(b_.set_sim_state(state.get()))) return out_;
    out_.y1.push_back(b_.y1());  // the restored output
    if (!step(t_.x[2]) || !method(b_.enable()) || !method(b_.disable()) || !method(b_.rtw()))
      return out_;
    if (!queries()) return out_;
    method(b_.terminate());
    return out_;
  }

 private:
  bool method(const CallResult& r) {
    if (r.ok) return true;
    out_.error = r.error.empty() ? "(a failed call with no message)" : r.error;
    return false;
  }

  bool step(double z) {
    b_.z() = z;
    if (!method(b_.outputs())) return false;
    out_.y1.push_back(b_.y1());
    return true;
  }

  // Every command-line query for this chart; each answer is summed into y1.
  bool queries() {
    const models::ChartView& col = view_of(c_);
    const double n = c_.chart;
    std::vector<std::vector<std::string>> texts = {
        {"sf_get_check_sum"},
        {"sf_get_check_sum", "machine"},
        {"sf_get_check_sum", "exportedFcn"},
        {"sf_get_check_sum", "makefile"},
        {"sf_get_check_sum", "target"},
        {"sf_get_check_sum", "chart", "#"},
        {"get_autoinheritance_info", c_.model, "#", col.autoinheritance_checksum},
        {"get_third_party_uses_info", c_.model, "#", col.specialization_id},
        {"get_updateBuildInfo_args_info", c_.model, "#", col.specialization_id},
        {"get_eml_resolved_functions_info", c_.model, "#"},
    };
    for (const auto& words : texts) {
      std::vector<MxPtr> args;
      std::vector<const mxArray*> in;
      try {
        for (const auto& w : words)
          args.emplace_back(w == "#" ? mxCreateDoubleScalar(n) : mxCreateString(w.c_str()));
        for (const auto& a : args)
          in.push_back(a.get());
        auto answer = b_.plugin().call_matlab(1, in);
        out_.y1.push_back(answer[0] ? static_cast<double>(mxGetNumberOfElements(answer[0].get()))
                                    : -1.0);
      } catch (const host::HostError& e) {
        out_.error = e.what();
        return false;
      }
    }
    return true;
  }

  Block& b_;
  const ChartCase& c_;
  const Table& t_;
  Outcome out_;
};

class AllocationFailure : public HostTest, public ::testing::WithParamInterface<ChartCase> {
 protected:
  void TearDown() override { host::ut::fail_allocation(0); }

  // One life cycle in a fresh engine, with the k-th host allocation failing (k = 0:
  // none). `count` receives the number of host allocations the cycle made.
  Outcome cycle(long k, long* count = nullptr) {
    const ChartCase& c = GetParam();
    const Table t = make_table(c.N, 7);
    Outcome out;
    host::sf_runtime::reset();  // a fresh chart runtime: its records do not pile up over the runs
    {
      Engine engine;
      auto& plugin = engine.load(c.plugin);
      BlockOptions opts;
      opts.chart = c.chart;
      opts.table_length = c.N;
      auto& block = engine.add_block(plugin, opts);
      block.set_inputs(t.x.data(), t.y.data(), 0.0);
      const long before = host::ut::allocation_count();
      host::ut::fail_allocation(k);
      out = LifeCycle(block, c, t).run();
      host::ut::fail_allocation(0);
      if (count) *count = host::ut::allocation_count() - before;
      if (block.started()) block.terminate();  // the host ends a failed simulation so
    }
    return out;
  }
};

TEST_P(AllocationFailure, EverySiteEndsInAnErrorOrTheSameResultAndLeavesNothing) {
  long total = 0;
  const Outcome clean = cycle(0, &total);
  ASSERT_FALSE(clean.ended_by_error()) << clean.error;
  ASSERT_GT(total, 10);
  expect_clean();
  for (long k = 1; k <= total; ++k) {
    SCOPED_TRACE("failing host allocation " + std::to_string(k) + " of " + std::to_string(total));
    const Outcome o = cycle(k);
    if (o.ended_by_error()) {
      // The error says what happened: the host's out-of-memory error of the
      // operation, or the chart's own message for its records.
      const std::string oom = ": out of memory";
      const bool says_oom = o.error.size() > oom.size() &&
                            o.error.compare(o.error.size() - oom.size(), oom.size(), oom) == 0;
      ASSERT_TRUE(says_oom || o.error == "Could not allocate memory for chart instance.")
          << o.error;
      // What the run produced before the error is what the clean run produced.
      ASSERT_LE(o.y1.size(), clean.y1.size());
      for (std::size_t i = 0; i < o.y1.size(); ++i)
        ASSERT_TRUE(same_bits(clean.y1[i], o.y1[i])) << "result " << i;
    } else {
      ASSERT_EQ(o.y1.size(), clean.y1.size());
      for (std::size_t i = 0; i < o.y1.size(); ++i)
        ASSERT_TRUE(same_bits(clean.y1[i], o.y1[i])) << "result " << i;
    }
    expect_clean();
    if (HasFailure()) break;
  }
}

// A std::bad_alloc inside the host's own work reaches the caller as a host error.
TEST(HostOutOfMemory, BadAllocInsideTheHostIsAHostError) {
  host::mex::register_function("exhausted",
                               [](int, mxArray*[], int, mxArray*[]) { throw std::bad_alloc(); });
  const std::size_t live = host::mx::live_count();
  try {
    mexCallMATLAB(0, nullptr, 0, nullptr, "exhausted");
    ADD_FAILURE() << "no host error";
  } catch (const host::HostError& e) {
    EXPECT_STREQ(e.what(), "mexCallMATLAB: out of memory");
  }
  host::mex::unregister_function("exhausted");
  EXPECT_EQ(host::mx::live_count(), live);
}

INSTANTIATE_TEST_SUITE_P(AllCharts, AllocationFailure, ::testing::ValuesIn(all_charts()),
                         [](const auto& info) { return case_name(info.param); });

}  // namespace
