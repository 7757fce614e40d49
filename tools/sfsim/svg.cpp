#include "tools/sfsim/svg.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

#include "tools/output/output.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/text/markup.hpp"

namespace sfsim {
namespace {

constexpr double kWidth = 800, kHeight = 500;
constexpr double kLeft = 80, kRight = 30, kTop = 50, kBottom = 60;

std::string fixed(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", v);
  return b;
}

std::string label(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.6g", std::abs(v) < 1e-12 ? 0.0 : v);
  return b;
}

// An axis' span of values. Differences are taken of halves, so that a span from
// near the lowest double to near the highest stays finite.
struct Range {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  void add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  double half_span() const { return hi / 2 - lo / 2; }
  void settle() {
    if (lo > hi) lo = 0, hi = 1;
    if (lo == hi)
      lo -= std::max(1.0, std::abs(lo) * 1e-9), hi += std::max(1.0, std::abs(hi) * 1e-9);
    const double pad = half_span() * 0.1;
    constexpr double kMax = std::numeric_limits<double>::max();
    lo = std::max(lo - pad, -kMax);
    hi = std::min(hi + pad, kMax);
  }
  // Where v lies in the span, 0 at lo and 1 at hi.
  double fraction(double v) const { return (v / 2 - lo / 2) / half_span(); }
};

// Tick positions at 1, 2 or 5 times a power of ten, about six of them.
std::vector<double> ticks(const Range& r) {
  double raw = r.half_span() / 3;
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  double step = raw / p < 1.5 ? p : raw / p < 3.5 ? 2 * p : raw / p < 7.5 ? 5 * p : 10 * p;
  std::vector<double> t;
  if (!std::isfinite(step) || step <= 0) return t;
  for (double v = std::ceil(r.lo / step) * step; v <= r.hi && t.size() < 50; v += step)
    if (std::isfinite(v)) t.push_back(v);
  return t;
}

using Point = std::function<void(double, double, double)>;

// Draws a plot whose run points come from `each_point`, which calls its argument
// once per point with x, y1 and the second line's value.
void draw(const Plot& plot, const std::function<void(const Point&)>& each_point, std::ostream& o) {
  Range rx, ry;
  for (std::size_t i = 0; i < plot.table_x.size(); ++i)
    if (std::isfinite(plot.table_y[i])) rx.add(plot.table_x[i]), ry.add(plot.table_y[i]);
  each_point([&](double z, double y1, double second) {
    if (std::isfinite(y1)) rx.add(z), ry.add(y1);
    if (plot.in_time && std::isfinite(second)) rx.add(z), ry.add(second);
  });
  rx.settle();
  ry.settle();
  const double pw = kWidth - kLeft - kRight, ph = kHeight - kTop - kBottom;
  auto sx = [&](double v) { return kLeft + rx.fraction(v) * pw; };
  auto sy = [&](double v) { return kTop + (ry.hi / 2 - v / 2) / ry.half_span() * ph; };
  // Only finite coordinates are written.
  auto drawable = [&](double x, double y) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(sx(x)) && std::isfinite(sy(y));
  };

  o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
    << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\" font-family=\"sans-serif\">\n"
    << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
    << "<text x=\"" << kWidth / 2 << "\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">"
    << xml_escape(plot.title) << "</text>\n";

  // Axes with ticks, grid and labels.
  const std::vector<double> tx = ticks(rx), ty = ticks(ry);
  o << "<g stroke=\"#ddd\" stroke-width=\"1\">\n";
  for (double t : tx)
    o << "<line x1=\"" << fixed(sx(t)) << "\" y1=\"" << kTop << "\" x2=\"" << fixed(sx(t))
      << "\" y2=\"" << kTop + ph << "\"/>\n";
  for (double t : ty)
    o << "<line x1=\"" << kLeft << "\" y1=\"" << fixed(sy(t)) << "\" x2=\"" << kLeft + pw
      << "\" y2=\"" << fixed(sy(t)) << "\"/>\n";
  o << "</g>\n<g stroke=\"black\" stroke-width=\"1\" fill=\"none\">\n"
    << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << pw << "\" height=\"" << ph
    << "\"/>\n</g>\n<g font-size=\"12\" fill=\"black\">\n";
  for (double t : tx)
    o << "<text x=\"" << fixed(sx(t)) << "\" y=\"" << kTop + ph + 18 << "\" text-anchor=\"middle\">"
      << label(t) << "</text>\n";
  for (double t : ty)
    o << "<text x=\"" << kLeft - 8 << "\" y=\"" << fixed(sy(t) + 4) << "\" text-anchor=\"end\">"
      << label(t) << "</text>\n";
  o << "<text x=\"" << kLeft + pw / 2 << "\" y=\"" << kHeight - 15
    << "\" text-anchor=\"middle\" font-size=\"14\">" << (plot.in_time ? "time (s)" : "z")
    << "</text>\n"
    << "<text x=\"20\" y=\"" << kTop + ph / 2 << "\" text-anchor=\"middle\" font-size=\"14\" "
    << "transform=\"rotate(-90 20 " << kTop + ph / 2 << ")\">" << (plot.in_time ? "y1, z" : "y1")
    << "</text>\n</g>\n";

  // The table's points, then the outputs as one line.
  o << "<g fill=\"#1f77b4\" fill-opacity=\"0.6\">\n";
  for (std::size_t i = 0; i < plot.table_x.size(); ++i) {
    if (!drawable(plot.table_x[i], plot.table_y[i])) continue;
    o << "<circle cx=\"" << fixed(sx(plot.table_x[i])) << "\" cy=\"" << fixed(sy(plot.table_y[i]))
      << "\" r=\"2\"/>\n";
  }
  o << "</g>\n";
  // The second line (the input in time) under the first.
  auto polyline = [&](const char* colour, bool second) {
    o << "<polyline fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.5\" points=\"";
    bool first = true;
    each_point([&](double x, double y1, double y2) {
      const double y = second ? y2 : y1;
      if (!drawable(x, y)) return;
      o << (first ? "" : " ") << fixed(sx(x)) << ',' << fixed(sy(y));
      first = false;
    });
    o << "\"/>\n";
  };
  if (plot.in_time) polyline("#2ca02c", true);
  polyline("#d62728", false);
  // The legend: a line of it per thing drawn.
  o << "<g font-size=\"12\">\n";
  double at = kTop + 15;
  if (!plot.table_x.empty() || !plot.in_time) {
    o << "<circle cx=\"" << kLeft + 15 << "\" cy=\"" << at << "\" r=\"3\" fill=\"#1f77b4\"/>\n"
      << "<text x=\"" << kLeft + 25 << "\" y=\"" << at + 4 << "\">table (x, y)</text>\n";
    at += 18;
  }
  auto line_key = [&](const char* colour, const char* text) {
    o << "<line x1=\"" << kLeft + 8 << "\" y1=\"" << at << "\" x2=\"" << kLeft + 22 << "\" y2=\""
      << at << "\" stroke=\"" << colour << "\" stroke-width=\"1.5\"/>\n"
      << "<text x=\"" << kLeft + 25 << "\" y=\"" << at + 4 << "\">" << text << "</text>\n";
    at += 18;
  };
  line_key("#d62728", plot.in_time ? "y1" : "y1 at z");
  if (plot.in_time) line_key("#2ca02c", "z");
  o << "</g>\n</svg>\n";
}

}  // namespace

std::string render_svg(const Plot& plot) {
  std::ostringstream o;
  draw(
      plot,
      [&](const Point& f) {
        for (std::size_t i = 0; i < plot.z.size(); ++i)
          f(plot.z[i], plot.y1[i], 0.0);
      },
      o);
  return o.str();
}

PlotPoints::PlotPoints(const std::string& picture) {
  try {
    scratch_ = scratch_name_.create(picture);
  } catch (const UserError&) {
  }
  if (!scratch_) {
    // No room beside the picture (a device's folder): the system's own scratch file.
    scratch_name_.remove();
    scratch_ = std::tmpfile();
  }
  if (!scratch_) failed_ = true;
}

PlotPoints::~PlotPoints() {
  if (scratch_) std::fclose(scratch_);
}

void PlotPoints::add(double x, double y1, double second) {
  const double point[3] = {x, y1, second};
  if (!failed_ && std::fwrite(point, sizeof point, 1, scratch_) != 1) failed_ = true;
}

void PlotPoints::render(const Plot& table, std::ostream& out, const std::string& name) {
  if (failed_ || std::fflush(scratch_) != 0)
    throw UserError(name + ": cannot keep the points of the plot (no room for a scratch file)");
  draw(
      table,
      [&](const Point& f) {
        std::rewind(scratch_);
        double point[3];
        while (std::fread(point, sizeof point, 1, scratch_) == 1)
          f(point[0], point[1], point[2]);
        if (std::ferror(scratch_)) failed_ = true;
      },
      out);
  if (failed_) throw UserError(name + ": cannot read back the points of the plot");
}

}  // namespace sfsim
