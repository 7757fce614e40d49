#include "tools/coverage/records.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "tools/text/numbers.hpp"

namespace tools::coverage::detail {

// The JSON text of a string.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char b[8];
          std::snprintf(b, sizeof b, "\\u%04x", c);
          out += b;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

// A text as the recorder quoted it, back to its bytes.
static std::string unquote(std::string_view quoted) {
  std::string out;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 2 >= quoted.size()) {
      out += quoted[i];
      continue;
    }
    const char e = quoted[++i];
    if (e == 'n') {
      out += '\n';
    } else if (e == 't') {
      out += '\t';
    } else if (e == 'r') {
      out += '\r';
    } else if (e == 'x' && i + 2 < quoted.size()) {
      unsigned v = 0;
      std::from_chars(quoted.data() + i + 1, quoted.data() + i + 3, v, 16);
      out += static_cast<char>(v);
      i += 2;
    } else {
      out += e;
    }
  }
  return out;
}

static bool is_integer_text(std::string_view text) {
  long long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && end == text.data() + text.size();
}

// A recorded argument as a JSON value: numbers as they are, null, texts as strings,
// anything else (an address) as its text.
static std::string json_arg(const std::string& arg) {
  if (arg == "null" || is_integer_text(arg)) return arg;
  if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"') return json_string(unquote(arg));
  return json_string(arg);
}

// A double that reads back to the same bits; the infinities as strings, as sfsim's
// JSON of a value has them.
std::string json_number(double v) {
  if (std::isfinite(v)) return sfsim::format_number(v);
  return json_string(sfsim::format_number(v));
}

static const char* object_kind(const std::string& call) {
  if (call == "sf_debug_cv_init_chart") return "chart";
  if (call == "sf_debug_cv_init_state") return "state";
  if (call == "sf_debug_cv_init_trans") return "transitions";
  if (call == "cv_eml_init_script") return "script";
  if (call == "cv_eml_init_fcn") return "function";
  return "other";
}

std::vector<BlockReport> collect(const Run& run) {
  std::vector<BlockReport> blocks;
  int index = 0;
  for (const auto& [chart_number, instance_number] : run.blocks) {
    BlockReport b;
    b.index = ++index;
    b.chart_number = chart_number;
    b.record = hs::chart_instance(chart_number, instance_number);
    const hs::ChartRecord* chart = hs::chart(chart_number);
    if (b.record != nullptr && chart != nullptr) {
      for (std::size_t d = 0; d < b.record->seen.data.size(); ++d) {
        DataItem item;
        item.name = d < chart->data.size() && chart->data[d].set ? chart->data[d].name
                                                                 : "#" + std::to_string(d);
        item.seen = b.record->seen.data[d];
        item.range = hs::data_range(chart->machine_number, chart_number, static_cast<unsigned>(d));
        b.data.push_back(std::move(item));
      }
      for (const host::trace::Call& call : b.record->coverage) {
        Object o{object_kind(call.op), call.op, {}};
        for (std::size_t i = 4; i < call.args.size(); ++i)
          o.args.push_back(json_arg(call.args[i]));
        // cv_eml_init_fcn: script, function index, name, then the extent.
        if (o.kind == "function" && b.function.empty() && call.args.size() >= 7) {
          b.function = unquote(call.args[6]);
          b.extent.assign(o.args.begin() + 3, o.args.end());
        }
        b.objects.push_back(std::move(o));
      }
    }
    blocks.push_back(std::move(b));
  }
  return blocks;
}

// The table's breakpoints from the first to the last that is not NaN.
std::optional<std::pair<double, double>> table_span(const Run& run) {
  std::optional<std::pair<double, double>> span;
  for (int i = 0; run.x != nullptr && i < run.table_length; ++i) {
    const double v = run.x[i];
    if (std::isnan(v)) continue;
    if (!span) {
      span = std::make_pair(v, v);
    } else {
      span->first = std::min(span->first, v);
      span->second = std::max(span->second, v);
    }
  }
  return span;
}

unsigned long long steps_begun(const BlockReport& b) {
  return b.record != nullptr ? b.record->seen.chart_calls.count(0) : 0;
}

unsigned long long function_calls(const BlockReport& b) {
  return b.record != nullptr ? b.record->seen.evals.total() : 0;
}

std::string join(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i > 0 ? ", " : "") + items[i];
  return text;
}

std::vector<std::string> numbers(const std::array<unsigned, 6>& args) {
  std::vector<std::string> out;
  for (unsigned a : args)
    out.push_back(std::to_string(a));
  return out;
}

}  // namespace tools::coverage::detail
