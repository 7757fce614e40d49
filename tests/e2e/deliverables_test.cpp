// The two deliverables as files: their one export and the host libraries they need.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/e2e.hpp"

namespace {

// Runs a command and returns its standard output; fails the test on a bad status.
std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
    out.append(buf, n);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return out;
}

class Deliverable : public ::testing::TestWithParam<const char*> {};

TEST_P(Deliverable, ExportsOnlyMexFunction) {
  const std::string listing = run(std::string("nm -D --defined-only '") + GetParam() + "'");
  std::vector<std::string> names;
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (!(fields >> address >> type >> name)) continue;
    if (type == "A") continue;  // version definitions, not symbols of the library
    names.push_back(name);
  }
  EXPECT_THAT(names, ::testing::ElementsAre("mexFunction")) << listing;
}

TEST_P(Deliverable, NeedsTheHostLibrariesByName) {
  const std::string dynamic = run(std::string("readelf -d '") + GetParam() + "'");
  std::vector<std::string> needed;
  std::istringstream lines(dynamic);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("(NEEDED)") == std::string::npos) continue;
    const auto open = line.find('[');
    const auto close = line.find(']', open);
    if (open != std::string::npos && close != std::string::npos) {
      needed.push_back(line.substr(open + 1, close - open - 1));
    }
  }
  EXPECT_THAT(needed, ::testing::IsSupersetOf({"libmx.so", "libmex.so", "libut.so",
                                               "libmwmathutil.so", "libsf_runtime.so"}))
      << dynamic;
}

INSTANTIATE_TEST_SUITE_P(Every, Deliverable, ::testing::ValuesIn(e2e::all_plugins()),
                         [](const auto& info) { return e2e::all_models()[info.index]; });

}  // namespace
