#include "tools/coverage/coverage.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

#include "host/sf_runtime_host.hpp"
#include "tools/text/numbers.hpp"

namespace tools::coverage {
namespace {

namespace hs = host::sf_runtime;

// --- what the records say, per block ----------------------------------------------

// A coverage object the chart registered: which, the call, its arguments after the
// four that name the instance (as JSON values).
struct Object {
  std::string kind, call;
  std::vector<std::string> args;
};

struct DataItem {
  std::string name;
  hs::DataSeen seen;
  std::optional<std::pair<double, double>> range;
};

struct BlockReport {
  int index = 0;
  const hs::ChartInstanceRecord* record = nullptr;  // null: the block never registered
  unsigned chart_number = 0;
  std::string function;             // the registered function's name
  std::vector<std::string> extent;  // its extent, as registered
  std::vector<DataItem> data;
  std::vector<Object> objects;
};

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
std::string unquote(std::string_view quoted) {
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

bool is_integer_text(std::string_view text) {
  long long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && end == text.data() + text.size();
}

// A recorded argument as a JSON value: numbers as they are, null, texts as strings,
// anything else (an address) as its text.
std::string json_arg(const std::string& arg) {
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

const char* object_kind(const std::string& call) {
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

// --- JSON ---------------------------------------------------------------------------

std::string join(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i > 0 ? ", " : "") + items[i];
  return text;
}

// Pretty JSON: objects one member a line, lists of plain values on one line.
class Json {
 public:
  explicit Json(std::ostream& out) : out_(out) {}
  void open(const std::string& key = {}) {
    member(key);
    out_ << '{';
    ++depth_;
    first_ = true;
  }
  void close() {
    --depth_;
    if (!first_) newline();
    out_ << '}';
    first_ = false;
  }
  void value(const std::string& key, const std::string& json) {
    member(key);
    out_ << json;
    first_ = false;
  }
  void list(const std::string& key, const std::vector<std::string>& items) {
    value(key, "[" + join(items) + "]");
  }
  // An object of plain members on one line.
  using Members = std::vector<std::pair<std::string, std::string>>;
  void flat(const std::string& key, const Members& members) {
    std::string text = "{";
    for (std::size_t i = 0; i < members.size(); ++i)
      text += (i > 0 ? ", " : "") + json_string(members[i].first) + ": " + members[i].second;
    value(key, text + "}");
  }
  void open_list(const std::string& key) {
    member(key);
    out_ << '[';
    ++depth_;
    first_ = true;
  }
  void close_list() {
    --depth_;
    if (!first_) newline();
    out_ << ']';
    first_ = false;
  }

 private:
  void member(const std::string& key) {
    if (depth_ > 0) {
      if (!first_) out_ << ',';
      newline();
    }
    if (!key.empty()) out_ << json_string(key) << ": ";
  }
  void newline() { out_ << '\n' << std::string(2 * static_cast<std::size_t>(depth_), ' '); }
  std::ostream& out_;
  int depth_ = 0;
  bool first_ = true;
};

template <class Key>
void tally(Json& j, const std::string& key, const hs::Tally<Key>& t) {
  Json::Members members;
  for (std::size_t i = 0; i < t.used; ++i)
    members.emplace_back(std::to_string(t.slots[i].key), std::to_string(t.slots[i].count));
  if (t.other != 0) members.emplace_back("other", std::to_string(t.other));
  j.flat(key, members);
}

std::vector<std::string> numbers(const std::array<unsigned, 6>& args) {
  std::vector<std::string> out;
  for (unsigned a : args)
    out.push_back(std::to_string(a));
  return out;
}

void block_json(Json& j, const BlockReport& b) {
  j.open();
  j.value("block", std::to_string(b.index));
  if (b.record == nullptr) {
    j.value("registered", "false");
    j.close();
    return;
  }
  const hs::CoverageRecord& seen = b.record->seen;
  j.value("steps", std::to_string(steps_begun(b)));
  j.flat("function", {{"name", json_string(b.function)},
                      {"calls", std::to_string(function_calls(b))},
                      {"extent", "[" + join(b.extent) + "]"}});
  tally(j, "lines", seen.lines);
  Json::Members errors;
  for (const auto& [identifier, count] : seen.errors)
    errors.emplace_back(identifier, std::to_string(count));
  j.flat("errors", errors);
  j.open("data");
  for (const DataItem& d : b.data) {
    Json::Members item{{"min", d.seen.any ? json_number(d.seen.min) : "null"},
                       {"max", d.seen.any ? json_number(d.seen.max) : "null"},
                       {"nan", std::to_string(d.seen.nans)},
                       {"checks", std::to_string(d.seen.checks)}};
    if (d.range) {
      item.emplace_back(
          "range", "[" + json_number(d.range->first) + ", " + json_number(d.range->second) + "]");
    }
    j.flat(d.name, item);
  }
  j.close();
  j.open_list("coverage");
  for (const Object& o : b.objects) {
    j.open();
    j.value("object", json_string(o.kind));
    j.value("call", json_string(o.call));
    j.list("args", o.args);
    j.open("evaluated");
    if (o.kind == "chart") {
      tally(j, "chart calls", seen.chart_calls);
    } else if (o.kind == "script") {
      j.open_list("evaluations");
      for (std::size_t i = 0; i < seen.evals.used; ++i) {
        j.flat({}, {{"args", "[" + join(numbers(seen.evals.slots[i].key)) + "]"},
                    {"count", std::to_string(seen.evals.slots[i].count)}});
      }
      j.close_list();
      if (seen.evals.other != 0) j.value("other", std::to_string(seen.evals.other));
    } else if (o.kind == "function") {
      j.value("calls", std::to_string(function_calls(b)));
    }
    j.close();
    j.close();
  }
  j.close_list();
  j.close();
}

// --- HTML ---------------------------------------------------------------------------

std::string escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string num(double v) {
  return escape(sfsim::format_number(v));
}

std::string coord(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", v);
  return b;
}

// The smallest and largest finite breakpoints: the part of the table a picture can
// draw to scale.
std::optional<std::pair<double, double>> finite_span(const Run& run) {
  std::optional<std::pair<double, double>> span;
  for (int i = 0; run.x != nullptr && i < run.table_length; ++i) {
    const double v = run.x[i];
    if (!std::isfinite(v)) continue;
    span = span ? std::make_pair(std::min(span->first, v), std::max(span->second, v))
                : std::make_pair(v, v);
  }
  return span;
}

// Where a value falls across the picture: finite values of [lo, hi] inside a margin
// at each side, the infinities on the edges. The span is taken by halves so that it
// stays finite for any two finite ends.
class Scale {
 public:
  static constexpr double kLeft = 20, kRight = 620, kMargin = 30;
  Scale(double lo, double hi) : lo_(lo), half_(hi / 2 - lo / 2) {}
  double at(double v) const {
    if (v == -std::numeric_limits<double>::infinity()) return kLeft;
    if (v == std::numeric_limits<double>::infinity()) return kRight;
    const double inner = kRight - kLeft - 2 * kMargin;
    if (!(half_ > 0)) return kLeft + kMargin + inner / 2;
    return kLeft + kMargin + (v / 2 - lo_ / 2) / half_ * inner;
  }

 private:
  double lo_, half_;
};

// A z value as its label says it: an infinite one lies off the table's scale.
std::string z_label(double v) {
  if (v == -std::numeric_limits<double>::infinity()) return num(v) + ", below the table";
  if (v == std::numeric_limits<double>::infinity()) return num(v) + ", above the table";
  return num(v);
}

// The z values the block's checks saw against the table's finite x range: the table
// as a band, the interval from the smallest to the largest z seen over it, and the
// ends of the table beyond that interval, never reached. Which values inside the
// interval were seen is not recorded, and the picture says so.
void z_picture(std::ostream& out, const DataItem* z, std::optional<std::pair<double, double>> x) {
  constexpr double kWidth = 640, kBand = 40, kBandHeight = 30, kText = Scale::kLeft;
  std::optional<std::pair<double, double>> seen;
  if (z != nullptr && z->seen.any) seen = std::make_pair(z->seen.min, z->seen.max);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth
      << "\" height=\"170\" viewBox=\"0 0 " << kWidth << " 170\" role=\"img\">\n"
      << "<title>z seen against the table's x range</title>\n"
      << "<style>text { font: 12px sans-serif; } .table { fill: #ccc; } "
         ".unreached { fill: #e06666; fill-opacity: 0.6; } .seen { fill: #3d85c6; }</style>\n";
  const std::string z_text =
      seen ? "z from " + z_label(seen->first) + " to " + z_label(seen->second) : std::string();
  if (!x) {
    out << "<text x=\"" << coord(kText) << "\" y=\"" << kBand
        << "\">the table's x has no finite breakpoint: nothing to draw z against</text>\n"
        << "<text x=\"" << coord(kText) << "\" y=\"" << kBand + 20 << "\">"
        << (seen ? z_text : "no value of z was seen") << "</text>\n</svg>\n";
    return;
  }
  // The scale covers the finite table and the finite ends of the z seen.
  double lo = x->first, hi = x->second;
  if (seen) {
    for (const double v : {seen->first, seen->second}) {
      if (!std::isfinite(v)) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  const Scale scale(lo, hi);
  auto at = [&](double v) { return scale.at(v); };
  out << "<rect class=\"table\" x=\"" << coord(at(x->first)) << "\" y=\"" << kBand << "\" width=\""
      << coord(at(x->second) - at(x->first)) << "\" height=\"" << kBandHeight << "\"/>\n";
  // The table never reached: all of it without z, else each end beyond the z seen.
  auto unreached = [&](double a, double b) {
    if (!(b > a)) return;
    out << "<rect class=\"unreached\" x=\"" << coord(at(a)) << "\" y=\"" << kBand << "\" width=\""
        << coord(at(b) - at(a)) << "\" height=\"" << kBandHeight << "\"/>\n";
  };
  if (!seen) {
    unreached(x->first, x->second);
  } else {
    unreached(x->first, std::min(seen->first, x->second));
    unreached(std::max(seen->second, x->first), x->second);
  }
  out << "<text x=\"" << coord(at(x->first)) << "\" y=\"" << kBand - 6 << "\">x " << num(x->first)
      << "</text>\n"
      << "<text x=\"" << coord(at(x->second)) << "\" y=\"" << kBand - 6 << "\" text-anchor=\"end\">"
      << num(x->second) << "</text>\n";
  if (seen) {
    const double a = at(seen->first), b = at(seen->second);
    out << "<rect class=\"seen\" x=\"" << coord(a) << "\" y=\"" << kBand + kBandHeight + 8
        << "\" width=\"" << coord(std::max(b - a, 2.0)) << "\" height=\"12\"/>\n"
        << "<text x=\"" << coord(a) << "\" y=\"" << kBand + kBandHeight + 36 << "\">z "
        << z_label(seen->first) << "</text>\n"
        << "<text x=\"" << coord(b) << "\" y=\"" << kBand + kBandHeight + 52
        << "\" text-anchor=\"end\">" << z_label(seen->second) << "</text>\n";
  } else {
    out << "<text x=\"" << coord(kText) << "\" y=\"" << kBand + kBandHeight + 36
        << "\">no value of z was seen</text>\n";
  }
  out << "<text x=\"" << coord(kText)
      << "\" y=\"140\" class=\"key\">grey: the table's finite x range; red: beyond the z "
         "seen, never reached;</text>\n"
      << "<text x=\"" << coord(kText)
      << "\" y=\"156\" class=\"key\">blue: from the smallest to the largest z seen; values "
         "between them are not recorded</text>\n"
      << "</svg>\n";
}

void row(std::ostream& out, const std::string& head, const std::string& cell) {
  out << "<tr><th>" << head << "</th><td>" << cell << "</td></tr>\n";
}

template <class Key>
std::string tally_text(const hs::Tally<Key>& t) {
  std::string text;
  for (std::size_t i = 0; i < t.used; ++i)
    text += (i > 0 ? ", " : "") + std::to_string(t.slots[i].key) + ": " +
            std::to_string(t.slots[i].count);
  if (t.other != 0)
    text += (text.empty() ? "" : ", ") + std::string("other: ") + std::to_string(t.other);
  return text.empty() ? "none" : text;
}

std::string list_text(const std::vector<std::string>& items) {
  return escape(join(items));
}

void block_html(std::ostream& out, const BlockReport& b,
                std::optional<std::pair<double, double>> x) {
  out << "<h2>Block " << b.index << "</h2>\n";
  if (b.record == nullptr) {
    out << "<p>This block made no registration with the chart runtime.</p>\n";
    return;
  }
  const hs::CoverageRecord& seen = b.record->seen;
  out << "<table>\n";
  row(out, "steps", std::to_string(steps_begun(b)));
  row(out, "function",
      escape(b.function) + ": " + std::to_string(function_calls(b)) + " calls, extent " +
          list_text(b.extent));
  row(out, "lines", tally_text(seen.lines));
  std::string errors;
  for (const auto& [identifier, count] : seen.errors)
    errors += (errors.empty() ? "" : ", ") +
              escape(identifier.empty() ? "(no identifier)" : identifier) + ": " +
              std::to_string(count);
  row(out, "errors", errors.empty() ? "none" : errors);
  out << "</table>\n<table>\n<tr><th>data</th><th>min</th><th>max</th><th>NaN</th>"
         "<th>checks</th><th>range</th></tr>\n";
  const DataItem* z = nullptr;
  for (const DataItem& d : b.data) {
    if (d.name == "z") z = &d;
    out << "<tr><td>" << escape(d.name) << "</td><td>" << (d.seen.any ? num(d.seen.min) : "")
        << "</td><td>" << (d.seen.any ? num(d.seen.max) : "") << "</td><td>" << d.seen.nans
        << "</td><td>" << d.seen.checks << "</td><td>"
        << (d.range ? "[" + num(d.range->first) + ", " + num(d.range->second) + "]" : "")
        << "</td></tr>\n";
  }
  out << "</table>\n<table>\n<tr><th>coverage object</th><th>registered</th>"
         "<th>evaluated</th></tr>\n";
  for (const Object& o : b.objects) {
    std::string evaluated;
    if (o.kind == "chart") evaluated = "chart calls by tag: " + tally_text(seen.chart_calls);
    if (o.kind == "function") evaluated = std::to_string(function_calls(b)) + " calls";
    if (o.kind == "script") {
      for (std::size_t i = 0; i < seen.evals.used; ++i)
        evaluated += (i > 0 ? "; " : "") + list_text(numbers(seen.evals.slots[i].key)) + ": " +
                     std::to_string(seen.evals.slots[i].count);
      if (evaluated.empty()) evaluated = "none";
    }
    out << "<tr><td>" << escape(o.kind) << "</td><td>" << escape(o.call) << "(" << list_text(o.args)
        << ")</td><td>" << evaluated << "</td></tr>\n";
  }
  out << "</table>\n";
  z_picture(out, z, x);
}

}  // namespace

std::optional<Format> format_of(std::string_view path) {
  auto ends = [&](std::string_view end) {
    if (path.size() < end.size()) return false;
    const std::string_view tail = path.substr(path.size() - end.size());
    return std::equal(tail.begin(), tail.end(), end.begin(), [](char a, char b) {
      return std::tolower(static_cast<unsigned char>(a)) == b;
    });
  };
  if (ends(".json")) return Format::Json;
  if (ends(".html")) return Format::Html;
  return std::nullopt;
}

void write_json(std::ostream& out, const Run& run) {
  const std::vector<BlockReport> blocks = collect(run);
  Json j(out);
  j.open();
  j.value("model", json_string(run.model));
  j.value("chart", std::to_string(run.chart));
  Json::Members table{{"length", std::to_string(run.table_length)}};
  if (const auto x = table_span(run))
    table.emplace_back("x", "[" + json_number(x->first) + ", " + json_number(x->second) + "]");
  j.flat("table", table);
  j.open_list("blocks");
  for (const BlockReport& b : blocks)
    block_json(j, b);
  j.close_list();
  j.close();
  out << '\n';
}

void write_html(std::ostream& out, const Run& run) {
  const std::vector<BlockReport> blocks = collect(run);
  const std::string title =
      "Coverage of " + escape(run.model) + " chart " + std::to_string(run.chart);
  const auto x = table_span(run);
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" << title
      << "</title>\n<style>\n"
         "body { font-family: sans-serif; margin: 2em; }\n"
         "table { border-collapse: collapse; margin: 0.5em 0; }\n"
         "th, td { border: 1px solid #999; padding: 0.2em 0.6em; text-align: left; }\n"
         "</style>\n</head>\n<body>\n<h1>"
      << title << "</h1>\n<p>Table of " << run.table_length << " rows";
  if (x) out << ", x from " << num(x->first) << " to " << num(x->second);
  out << "; " << blocks.size() << (blocks.size() == 1 ? " block" : " blocks") << ".</p>\n";
  const auto finite = finite_span(run);
  for (const BlockReport& b : blocks)
    block_html(out, b, finite);
  out << "</body>\n</html>\n";
}

void write(std::ostream& out, Format format, const Run& run) {
  if (format == Format::Json) {
    write_json(out, run);
  } else {
    write_html(out, run);
  }
}

}  // namespace tools::coverage
