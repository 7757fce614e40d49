#include "tools/sfsim/svg.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/sfsim/inputs.hpp"

namespace sfsim {
namespace {

constexpr double kWidth = 800, kHeight = 500;
constexpr double kLeft = 80, kRight = 30, kTop = 50, kBottom = 60;

std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
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

struct Range {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  void add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  void settle() {
    if (lo > hi) lo = 0, hi = 1;
    if (lo == hi) lo -= 1, hi += 1;
    double pad = (hi - lo) * 0.05;
    lo -= pad;
    hi += pad;
  }
};

// Tick positions at 1, 2 or 5 times a power of ten, about six of them.
std::vector<double> ticks(const Range& r) {
  double raw = (r.hi - r.lo) / 6;
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  double step = raw / p < 1.5 ? p : raw / p < 3.5 ? 2 * p : raw / p < 7.5 ? 5 * p : 10 * p;
  std::vector<double> t;
  for (double v = std::ceil(r.lo / step) * step; v <= r.hi && t.size() < 50; v += step)
    t.push_back(v);
  return t;
}

}  // namespace

std::string render_svg(const Plot& plot) {
  Range rx, ry;
  for (std::size_t i = 0; i < plot.table_x.size(); ++i)
    if (std::isfinite(plot.table_y[i])) rx.add(plot.table_x[i]), ry.add(plot.table_y[i]);
  for (std::size_t i = 0; i < plot.z.size(); ++i)
    if (std::isfinite(plot.y1[i])) rx.add(plot.z[i]), ry.add(plot.y1[i]);
  rx.settle();
  ry.settle();
  const double pw = kWidth - kLeft - kRight, ph = kHeight - kTop - kBottom;
  auto sx = [&](double v) { return kLeft + (v - rx.lo) / (rx.hi - rx.lo) * pw; };
  auto sy = [&](double v) { return kTop + (ry.hi - v) / (ry.hi - ry.lo) * ph; };

  std::ostringstream o;
  o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
    << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\" font-family=\"sans-serif\">\n"
    << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
    << "<text x=\"" << kWidth / 2 << "\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">"
    << escape(plot.title) << "</text>\n";

  // Axes with ticks, grid and labels.
  o << "<g stroke=\"#ddd\" stroke-width=\"1\">\n";
  for (double t : ticks(rx))
    o << "<line x1=\"" << fixed(sx(t)) << "\" y1=\"" << kTop << "\" x2=\"" << fixed(sx(t))
      << "\" y2=\"" << kTop + ph << "\"/>\n";
  for (double t : ticks(ry))
    o << "<line x1=\"" << kLeft << "\" y1=\"" << fixed(sy(t)) << "\" x2=\"" << kLeft + pw
      << "\" y2=\"" << fixed(sy(t)) << "\"/>\n";
  o << "</g>\n<g stroke=\"black\" stroke-width=\"1\" fill=\"none\">\n"
    << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << pw << "\" height=\"" << ph
    << "\"/>\n</g>\n<g font-size=\"12\" fill=\"black\">\n";
  for (double t : ticks(rx))
    o << "<text x=\"" << fixed(sx(t)) << "\" y=\"" << kTop + ph + 18 << "\" text-anchor=\"middle\">"
      << label(t) << "</text>\n";
  for (double t : ticks(ry))
    o << "<text x=\"" << kLeft - 8 << "\" y=\"" << fixed(sy(t) + 4) << "\" text-anchor=\"end\">"
      << label(t) << "</text>\n";
  o << "<text x=\"" << kLeft + pw / 2 << "\" y=\"" << kHeight - 15
    << "\" text-anchor=\"middle\" font-size=\"14\">z</text>\n"
    << "<text x=\"20\" y=\"" << kTop + ph / 2 << "\" text-anchor=\"middle\" font-size=\"14\" "
    << "transform=\"rotate(-90 20 " << kTop + ph / 2 << ")\">y1</text>\n</g>\n";

  // The table's points, then the outputs as one line.
  o << "<g fill=\"#1f77b4\" fill-opacity=\"0.6\">\n";
  for (std::size_t i = 0; i < plot.table_x.size(); ++i) {
    if (!std::isfinite(plot.table_x[i]) || !std::isfinite(plot.table_y[i])) continue;
    o << "<circle cx=\"" << fixed(sx(plot.table_x[i])) << "\" cy=\"" << fixed(sy(plot.table_y[i]))
      << "\" r=\"2\"/>\n";
  }
  o << "</g>\n<polyline fill=\"none\" stroke=\"#d62728\" stroke-width=\"1.5\" points=\"";
  bool first = true;
  for (std::size_t i = 0; i < plot.z.size(); ++i) {
    if (!std::isfinite(plot.z[i]) || !std::isfinite(plot.y1[i])) continue;
    o << (first ? "" : " ") << fixed(sx(plot.z[i])) << ',' << fixed(sy(plot.y1[i]));
    first = false;
  }
  o << "\"/>\n"
    << "<g font-size=\"12\">\n"
    << "<circle cx=\"" << kLeft + 15 << "\" cy=\"" << kTop + 15 << "\" r=\"3\" fill=\"#1f77b4\"/>\n"
    << "<text x=\"" << kLeft + 25 << "\" y=\"" << kTop + 19 << "\">table (x, y)</text>\n"
    << "<line x1=\"" << kLeft + 8 << "\" y1=\"" << kTop + 33 << "\" x2=\"" << kLeft + 22
    << "\" y2=\"" << kTop + 33 << "\" stroke=\"#d62728\" stroke-width=\"1.5\"/>\n"
    << "<text x=\"" << kLeft + 25 << "\" y=\"" << kTop + 37 << "\">y1 at z</text>\n"
    << "</g>\n</svg>\n";
  return o.str();
}

void write_svg(const std::string& path, const Plot& plot) {
  std::ofstream out(path, std::ios::binary);
  if (!out) throw InputError(path + ": cannot write the file");
  out << render_svg(plot);
  if (!out.flush()) throw InputError(path + ": cannot write the file");
}

}  // namespace sfsim
