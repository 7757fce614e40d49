// The plot of a run: y1 against z, with the table's points, as a self-contained SVG.
#pragma once

#include <string>
#include <vector>

namespace sfsim {

struct Plot {
  std::string title;
  std::vector<double> table_x, table_y;  // drawn as small circles
  std::vector<double> z, y1;             // one polyline; points that are not finite are left out
};

std::string render_svg(const Plot& plot);

// Writes the picture; InputError when the file cannot be written.
void write_svg(const std::string& path, const Plot& plot);

}  // namespace sfsim
