// Loading a plug-in does no model work: the system's loader runs the library's load
// hook and nothing else, so loading and unloading make no host call and leave the
// host as it was.
#include <string>
#include <vector>

#include "host/os.hpp"
#include "host/trace.hpp"
#include "tests/e2e/e2e.hpp"

namespace {

using namespace e2e;

class LoadingTest : public HostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LoadingTest, LoadAndUnloadMakeNoHostCall) {
  std::vector<std::string> calls;
  host::trace::set_sink([&](const host::trace::Call& c) { calls.push_back(c.op); });
  for (int round = 0; round < 2; ++round) {
    std::string why;
    void* library = host::os::open_library(GetParam(), &why);
    ASSERT_NE(library, nullptr) << why;
    EXPECT_NE(host::os::find_symbol(library, "mexFunction"), nullptr);
    host::os::close_library(library);
  }
  host::trace::clear_sink();
  EXPECT_TRUE(calls.empty()) << calls.size() << " host calls, the first " << calls.front();
  EXPECT_EQ(host::mx::live_count(), live_before_);
  expect_clean();
}

INSTANTIATE_TEST_SUITE_P(EveryPlugin, LoadingTest, ::testing::ValuesIn(all_plugins()));

}  // namespace
