#include "tools/sfsim/simulate.hpp"

#include <bit>
#include <cstdint>

#include "host/mex_host.hpp"
#include "tools/sfsim/numbers.hpp"

namespace sfsim {
namespace {

using host::engine::Block;
using host::engine::CallResult;

std::string host_message(const std::string& identifier, const std::string& text) {
  return identifier.empty() ? text : identifier + ": " + text;
}

std::string block_name(std::size_t index, std::size_t count) {
  return count == 1 ? std::string("the block") : "block " + std::to_string(index + 1);
}

}  // namespace

RunResult simulate(host::engine::Engine& engine, host::engine::Plugin& plugin, const RunSpec& spec,
                   const RunHooks& hooks) {
  RunResult result;
  std::vector<Block*> blocks;
  std::vector<bool> started;
  const std::size_t count = static_cast<std::size_t>(spec.blocks);

  auto fail = [&](const std::string& what, const std::string& message) {
    if (result.ok) {
      result.ok = false;
      result.error = what + ": " + message;
    }
  };
  // One method call, with its failure (posted or raised) recorded under `what`.
  auto call = [&](const std::string& what, auto&& method) -> bool {
    try {
      CallResult r = method();
      if (!r) {
        if (r.refused && result.ok) {
          // The engine's own message names the method and the block.
          result.ok = false;
          result.refused = true;
          result.error = r.error;
        }
        fail(what, host_message(r.identifier, r.error));
      }
      return bool(r);
    } catch (const host::HostError& e) {
      fail(what, host_message(e.identifier, e.what()));
      return false;
    }
  };

  host::engine::BlockOptions options;
  options.chart = spec.chart;
  options.table_length = spec.table_length;
  options.rate = spec.rate;
  double z = 0.0;
  bool have_query = spec.queries->next(z);
  for (std::size_t i = 0; i < count; ++i) {
    Block& b = engine.add_block(plugin, options);
    b.set_inputs(spec.table.x.data(), spec.table.y.data(), have_query ? z : 0.0);
    blocks.push_back(&b);
    started.push_back(false);
  }

  for (std::size_t i = 0; i < count && result.ok; ++i) {
    Block& b = *blocks[i];
    const std::string name = block_name(i, count);
    if (!call("mdlSetWorkWidths of " + name, [&] { return b.set_work_widths(); })) break;
    started[i] = call("mdlStart of " + name, [&] { return b.start(); });
    if (!started[i]) break;
    if (!call("mdlInitializeConditions of " + name, [&] { return b.initialize(); })) break;
  }
  if (result.ok && spec.restore) {
    for (std::size_t i = 0; i < count; ++i)
      if (!call("mdlSetSimState of " + block_name(i, count),
                [&] { return blocks[i]->set_sim_state(spec.restore); }))
        break;
  }

  const std::int64_t total = spec.queries->count();
  for (std::int64_t k = 0; have_query && result.ok; ++k) {
    const double t = static_cast<double>(k) * host::engine::kStepSize;
    engine.set_time(t, true);
    // The step's description is made only when it is needed.
    auto what = [&] {
      return "step " + std::to_string(k) + " (time " + format_number(t) + ", z " +
             format_number(z) + ")";
    };
    for (std::size_t i = 0; i < count && result.ok; ++i) {
      blocks[i]->z() = z;
      CallResult r;
      try {
        r = blocks[i]->outputs();
      } catch (const host::HostError& e) {
        r.ok = false;
        r.error = e.what();
        r.identifier = e.identifier;
      }
      if (!r) {
        const std::string where = count == 1 ? what() : what() + ", block " + std::to_string(i + 1);
        if (r.refused) result.refused = true;
        fail(where, host_message(r.identifier, r.error));
      }
    }
    if (!result.ok) break;
    const double y1 = blocks[0]->y1();
    for (std::size_t i = 1; i < count; ++i) {
      if (std::bit_cast<std::uint64_t>(blocks[i]->y1()) != std::bit_cast<std::uint64_t>(y1))
        fail(what(), "block " + std::to_string(i + 1) + " gave y1 = " +
                         format_number(blocks[i]->y1()) + ", block 1 gave " + format_number(y1));
    }
    if (!result.ok) break;
    ++result.steps;
    if (hooks.row && !hooks.row(Row{k, t, z, y1})) {
      result.stopped = true;
      break;
    }
    if (hooks.progress) hooks.progress(k + 1, total);
    have_query = spec.queries->next(z);
  }

  if (result.ok && spec.save) {
    CallResult r;
    try {
      result.saved_state = blocks[0]->get_sim_state(&r);
      if (!r || !result.saved_state)
        fail("mdlGetSimState of block 1",
             r ? std::string("no state returned") : host_message(r.identifier, r.error));
    } catch (const host::HostError& e) {
      fail("mdlGetSimState of block 1", host_message(e.identifier, e.what()));
    }
  }

  for (std::size_t i = 0; i < count; ++i)
    if (started[i])
      call("mdlTerminate of " + block_name(i, count), [&] { return blocks[i]->terminate(); });
  return result;
}

}  // namespace sfsim
