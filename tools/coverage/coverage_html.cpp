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
#include "tools/text/markup.hpp"
#include "tools/text/numbers.hpp"

namespace tools::coverage {
namespace {

using namespace detail;
using sfsim::xml_escape;

// --- HTML ---------------------------------------------------------------------------

std::string num(double v) {
  return xml_escape(sfsim::format_number(v));
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
  return xml_escape(join(items));
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
      xml_escape(b.function) + ": " + std::to_string(function_calls(b)) + " calls, extent " +
          list_text(b.extent));
  row(out, "lines", tally_text(seen.lines));
  std::string errors;
  for (const auto& [identifier, count] : seen.errors)
    errors += (errors.empty() ? "" : ", ") +
              xml_escape(identifier.empty() ? "(no identifier)" : identifier) + ": " +
              std::to_string(count);
  row(out, "errors", errors.empty() ? "none" : errors);
  out << "</table>\n<table>\n<tr><th>data</th><th>min</th><th>max</th><th>NaN</th>"
         "<th>checks</th><th>range</th></tr>\n";
  const DataItem* z = nullptr;
  for (const DataItem& d : b.data) {
    if (d.name == "z") z = &d;
    out << "<tr><td>" << xml_escape(d.name) << "</td><td>" << (d.seen.any ? num(d.seen.min) : "")
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
    out << "<tr><td>" << xml_escape(o.kind) << "</td><td>" << xml_escape(o.call) << "("
        << list_text(o.args) << ")</td><td>" << evaluated << "</td></tr>\n";
  }
  out << "</table>\n";
  z_picture(out, z, x);
}

}  // namespace

void write_html(std::ostream& out, const Run& run) {
  const std::vector<BlockReport> blocks = collect(run);
  const std::string title =
      "Coverage of " + xml_escape(run.model) + " chart " + std::to_string(run.chart);
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

}  // namespace tools::coverage
