#include "tools/sfsim/simulate.hpp"

#include <optional>

namespace sfsim {
namespace {

// The queries as major steps at step * kStepSize.
class QuerySteps : public tools::driver::QuerySteps {
 public:
  explicit QuerySteps(Queries& queries) : queries_(queries) {}
  std::int64_t count() const override { return queries_.count(); }

 private:
  bool next_query(double& z) override { return queries_.next(z); }
  Queries& queries_;
};

}  // namespace

RunResult simulate(host::engine::Engine& engine, host::engine::Plugin& plugin, const RunSpec& spec,
                   const RunHooks& hooks) {
  std::optional<QuerySteps> queries;
  std::optional<tools::driver::TimeSteps> in_time;
  tools::driver::Spec run;
  if (spec.signal != nullptr) {
    run.steps = &in_time.emplace(*spec.signal, spec.time.plan);
    run.solver = spec.time.solver;
    tools::driver::apply(spec.time.plan, run);
  } else {
    run.steps = &queries.emplace(*spec.queries);
  }
  run.chart = spec.chart;
  run.table_length = spec.table_length;
  run.rate = spec.rate;
  run.blocks = spec.blocks;
  run.x = spec.table.x.data();
  run.y = spec.table.y.data();
  run.restore = spec.restore;
  run.save = spec.save;
  return tools::driver::run(engine, plugin, run, hooks);
}

}  // namespace sfsim
