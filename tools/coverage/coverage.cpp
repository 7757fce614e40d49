#include "tools/coverage/coverage.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

#include "tools/coverage/records.hpp"
#include "tools/text/numbers.hpp"

namespace tools::coverage {
namespace {

using namespace detail;

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

void write(std::ostream& out, Format format, const Run& run) {
  if (format == Format::Json) {
    write_json(out, run);
  } else {
    write_html(out, run);
  }
}

}  // namespace tools::coverage
