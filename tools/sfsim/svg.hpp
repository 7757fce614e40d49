// The plot of a run as a self-contained SVG: y1 against z with the table's points
// (query mode), or y1 and z against time (a run in time).
#pragma once

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/output/output.hpp"

namespace sfsim {

struct Plot {
  std::string title;
  std::vector<double> table_x, table_y;  // drawn as small circles
  std::vector<double> z, y1;             // one polyline; points that are not finite are left out
  // A run in time: the horizontal axis is time, and a second line shows the input z
  // of each point (PlotPoints::add's `second`).
  bool in_time = false;
};

std::string render_svg(const Plot& plot);

// The points of a run gathered as it goes, kept in a scratch file (made beside the
// picture, removed again) rather than in memory, then drawn with the table's points.
class PlotPoints {
 public:
  explicit PlotPoints(const std::string& picture);
  ~PlotPoints();
  PlotPoints(const PlotPoints&) = delete;
  PlotPoints& operator=(const PlotPoints&) = delete;
  // A point of the line; `second` is the second line's value at x in a run in time.
  void add(double x, double y1, double second = 0.0);
  // Writes the picture; `table` holds the title and the table's points. UserError
  // naming `name` when the scratch file failed.
  void render(const Plot& table, std::ostream& out, const std::string& name);

 private:
  Scratch scratch_name_;  // removed with this
  std::FILE* scratch_ = nullptr;
  bool failed_ = false;
};

}  // namespace sfsim
