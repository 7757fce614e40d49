#include "tools/sfsim/simulate.hpp"

namespace sfsim {
namespace {

// The queries as major steps at step * kStepSize.
class QuerySteps : public tools::driver::Steps {
 public:
  explicit QuerySteps(Queries& queries) : queries_(queries) {}
  bool next(double& t, double& z) override {
    if (!queries_.next(z)) return false;
    t = static_cast<double>(k_++) * host::engine::kStepSize;
    z_ = z;
    return true;
  }
  double z_at(double) override { return z_; }  // no minor steps: never asked
  std::int64_t count() const override { return queries_.count(); }

 private:
  Queries& queries_;
  std::int64_t k_ = 0;
  double z_ = 0;
};

}  // namespace

RunResult simulate(host::engine::Engine& engine, host::engine::Plugin& plugin, const RunSpec& spec,
                   const RunHooks& hooks) {
  QuerySteps steps(*spec.queries);
  tools::driver::Spec run;
  run.chart = spec.chart;
  run.table_length = spec.table_length;
  run.rate = spec.rate;
  run.blocks = spec.blocks;
  run.x = spec.table.x.data();
  run.y = spec.table.y.data();
  run.steps = &steps;
  run.restore = spec.restore;
  run.save = spec.save;
  return tools::driver::run(engine, plugin, run, hooks);
}

}  // namespace sfsim
