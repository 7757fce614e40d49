// The debugger's print and set: values read and written only through the callbacks
// the chart registered, and the arrays they return destroyed once, here.
#include <optional>
#include <stdexcept>
#include <utility>

#include "host/mex_host.hpp"
#include "platform/mx.h"
#include "tools/sfsim/debugger.hpp"
#include "tools/sfsim/mxjson.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {

namespace hs = host::sf_runtime;
using host::engine::MxPtr;

namespace {

// "x(5)": the name and the element's number; false when the text has no such form.
bool split_element(std::string_view text, std::string& name, std::string_view& index) {
  const auto open = text.find('(');
  if (open == std::string_view::npos) {
    name = text;
    index = {};
    return true;
  }
  if (open == 0 || text.back() != ')') return false;
  name = text.substr(0, open);
  index = text.substr(open + 1, text.size() - open - 2);
  return true;
}

std::string host_message(const host::HostError& e) {
  return e.what();
}

}  // namespace

const hs::ChartRecord* Debugger::chart_record() const {
  return hs::first_chart_of(model_, static_cast<unsigned>(chart_));
}

const void* Debugger::debug_instance() const {
  const hs::ChartRecord* c = chart_record();
  return c != nullptr ? hs::debug_instance_handle(c->debug_instance) : nullptr;
}

MxPtr Debugger::fetch(const std::string& name, const char* command) {
  const std::string cmd = command;
  if (stop_.kind == StopKind::Start) {
    say(cmd + ": the run has not started; there is nothing to show yet");
    return nullptr;
  }
  if (stop_.kind == StopKind::Step) {
    // Block 1's data items, at the addresses and with the conversions it registered.
    const hs::ChartRecord* c = chart_record();
    const hs::ChartInstanceRecord* inst =
        c != nullptr ? hs::chart_instance(c->chart_number, 1) : nullptr;
    if (inst == nullptr) {
      say(cmd + ": the chart has not registered with the debugger");
      return nullptr;
    }
    for (std::size_t i = 0; i < c->data.size(); ++i) {
      if (c->data[i].name != name) continue;
      const hs::CompiledProps* props = i < inst->compiled.size() ? &inst->compiled[i] : nullptr;
      void* address = i < inst->value_ptrs.size() ? inst->value_ptrs[i] : nullptr;
      if (props == nullptr || props->to_mx == nullptr || address == nullptr) {
        say(cmd + ": the chart registered no address or conversion for " + sfsim::quoted(name));
        return nullptr;
      }
      return MxPtr(const_cast<mxArray*>(props->to_mx(nullptr, address)));
    }
    std::string names;
    for (const hs::DataProps& d : c->data)
      names += (names.empty() ? "" : ", ") + d.name;
    say(cmd + ": the chart has no data item " + sfsim::quoted(name) + " (it has " + names +
        "); a line stop shows the step's symbols");
    return nullptr;
  }
  // A line or error stop: the symbols of the open scopes, through their show callbacks.
  const void* dbg = debug_instance();
  if (hs::find_symbol(dbg, name) == nullptr) {
    say(cmd + ": no open symbol scope has a symbol " + sfsim::quoted(name));
    return nullptr;
  }
  try {
    return MxPtr(const_cast<mxArray*>(hs::show_symbol(dbg, name)));
  } catch (const host::HostError& e) {
    say(cmd + ": " + printable(host_message(e)));
    return nullptr;
  }
}

void Debugger::print(const std::vector<std::string_view>& args) {
  std::string name;
  std::string_view index;
  if (args.size() != 1 || !split_element(args[0], name, index)) {
    say("print: give one NAME, or NAME(I) for an element");
    return;
  }
  std::int64_t i = 0;
  if (!index.empty() || args[0].find('(') != std::string_view::npos) {
    if (!is_whole_decimal(index) || index.size() > 18) {
      say("print: " + sfsim::quoted(index) + " is not an element number (1, 2, ...)");
      return;
    }
    i = std::stoll(std::string(index));
  }
  const MxPtr value = fetch(name, "print");
  if (!value) return;
  if (i == 0 && index.empty()) {
    try {
      say(name + " = " + dump_line(to_json(value.get())));
    } catch (const std::runtime_error& e) {
      say("print: " + name + ": " + e.what());
    }
    return;
  }
  const auto count = static_cast<std::int64_t>(mxGetNumberOfElements(value.get()));
  if (i < 1 || i > count) {
    say("print: element " + std::to_string(i) + " is outside " + name + ", which has " +
        std::to_string(count) + (count == 1 ? " element" : " elements"));
    return;
  }
  if (!mxIsDouble(value.get()) || mxIsComplex(value.get())) {
    say("print: " + name + " is not a real double array; print it whole");
    return;
  }
  say(name + "(" + std::to_string(i) + ") = " + format_number(mxGetPr(value.get())[i - 1]));
}

void Debugger::set(const std::vector<std::string_view>& args) {
  if (args.size() != 2) {
    say("set: give NAME VALUE");
    return;
  }
  const std::string name(args[0]);
  const std::optional<double> number = parse_number(args[1]);
  if (!number) {
    say("set: " + sfsim::quoted(args[1]) + " " + number_fault(args[1]));
    return;
  }
  if (stop_.kind == StopKind::Start) {
    say("set: the run has not started; there is nothing to set yet");
    return;
  }
  if (stop_.kind == StopKind::Step) {
    const hs::ChartRecord* c = chart_record();
    const hs::ChartInstanceRecord* inst =
        c != nullptr ? hs::chart_instance(c->chart_number, 1) : nullptr;
    for (std::size_t i = 0; inst != nullptr && i < c->data.size(); ++i) {
      if (c->data[i].name != name) continue;
      const hs::CompiledProps* props = i < inst->compiled.size() ? &inst->compiled[i] : nullptr;
      void* address = i < inst->value_ptrs.size() ? inst->value_ptrs[i] : nullptr;
      if (props == nullptr || props->from_mx == nullptr || address == nullptr) {
        say("set: " + sfsim::quoted(name) + " is view only; it was not changed");
        return;
      }
      // The callback takes the array over.
      props->from_mx(nullptr, mxCreateDoubleScalar(*number), c->data[i].name.c_str(), address);
      return;
    }
    say("set: the chart has no data item " + sfsim::quoted(name) +
        "; a line stop sets the step's symbols");
    return;
  }
  const void* dbg = debug_instance();
  const hs::Symbol* symbol = hs::find_symbol(dbg, name);
  if (symbol == nullptr) {
    say("set: no open symbol scope has a symbol " + sfsim::quoted(name));
    return;
  }
  if (symbol->from_mx == nullptr) {
    say("set: " + sfsim::quoted(name) + " is view only; it was not changed");
    return;
  }
  try {
    // The edit callback takes the array over, also when it raises.
    hs::edit_symbol(dbg, name, mxCreateDoubleScalar(*number));
  } catch (const host::HostError& e) {
    say("set: " + printable(host_message(e)));
  }
}

}  // namespace sfsim
