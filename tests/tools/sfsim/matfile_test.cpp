// sfsim's MAT-files: files written by Octave (save -v6 and -v7) read bit for bit,
// every bad variable and every damaged file refused with the file and the variable
// named, values written and read back unchanged, no array leaked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>

#include "host/mx_host.hpp"
#include "platform/mx.h"
#include "tests/support/host_guard.hpp"
#include "tests/support/mat_bytes.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"
#include "tools/sfsim/mxjson.hpp"

namespace {

namespace fs = std::filesystem;
using sfsim::UserError;

const fs::path& folder() {
  static const fs::path dir =
      fs::temp_directory_path() / ("sfsim_matfile_" + std::to_string(::getpid()));
  return dir;
}

std::string file(const std::string& name) {
  return (folder() / name).string();
}

std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs `f`, which must fail with a UserError whose message has every part.
template <class F>
void expect_error(F f, std::initializer_list<std::string> parts) {
  try {
    f();
    ADD_FAILURE() << "no error; expected one naming " << *parts.begin();
  } catch (const UserError& e) {
    for (const std::string& p : parts)
      EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what() << "\nlacks: " << p;
  }
}

// The files Octave wrote for these tests (the CTest fixture sfsim_matfile_octave)
// are in SF_MATFILE_DIR; what the tests write goes to a folder of their own.
class MatFile : public test_support::HostTest, public ::testing::WithParamInterface<const char*> {
 public:
  static void SetUpTestSuite() { fs::create_directories(folder()); }
  static void TearDownTestSuite() { fs::remove_all(folder()); }

 protected:
  void SetUp() override {
    HostTest::SetUp();
    path_ = (fs::path(SF_MATFILE_DIR) / (std::string(GetParam()) + ".mat")).string();
    ASSERT_TRUE(fs::exists(path_)) << path_ << " was not written by Octave";
  }
  std::string path_;
};

INSTANTIATE_TEST_SUITE_P(Versions, MatFile, ::testing::Values("v6", "v7"));

TEST_P(MatFile, ReadsVectorsAndTablesBitForBit) {
  const std::vector<double> x = {0.1, 0.2, 1.0 / 3, M_PI, -1e300};
  const std::vector<double> y = {1, -2, INFINITY, -INFINITY, 5e-324};
  EXPECT_EQ(sfsim::mat::read_vector(path_, "x"), x);
  EXPECT_EQ(sfsim::mat::read_vector(path_, "y"), y);
  EXPECT_TRUE(sfsim::mat::read_vector(path_, "z").empty());
  const auto t = sfsim::mat::read_table(path_, "x", "y", 5, "chart 9");
  EXPECT_EQ(t.x, x);
  EXPECT_EQ(t.y, y);
  expect_error([&] { sfsim::mat::read_table(path_, "x", "y", 6, "chart 2 of Quimbrel"); },
               {path_, "variable 'x'", "has 5 elements, but chart 2 of Quimbrel needs exactly 6"});
}

TEST_P(MatFile, RefusesEveryBadVariableNamingFileAndVariable) {
  const std::pair<const char*, const char*> bad[] = {
      {"nosuch", "no such variable"},
      {"xs", "expected a real double vector, got single"},
      {"xi", "got int32"},
      {"xc", "complex values are not accepted"},
      {"xsp", "a sparse matrix is not accepted"},
      {"xm", "expected a vector, got double 2x3"},
      {"xl", "got logical"},
      {"xstr", "got char"},
      {"state", "got struct"},
      {"c", "got cell"}};
  for (const auto& [name, what] : bad) {
    expect_error([&] { sfsim::mat::read_vector(path_, name); },
                 {path_ + ": variable '" + name + "': ", what});
  }
  expect_error([&] { sfsim::mat::read_table(path_, "x", "xc", 5, "chart 1"); },
               {"'xc'", "complex"});
  expect_error([&] { sfsim::mat::read_value(path_, "xsp"); }, {"'xsp'", "sparse"});
}

TEST_P(MatFile, StateReadWrittenAndReadAgainUnchanged) {
  host::engine::MxPtr state = sfsim::mat::read_value(path_, "state");
  const sfsim::Json json = sfsim::to_json(state.get());
  EXPECT_EQ(json["fields"],
            sfsim::Json::parse(R"(["blockHandle","chartChecksum","y1","is_active_c2_Quimbrel"])"));
  EXPECT_EQ(json["elements"][0]["is_active_c2_Quimbrel"]["class"], "uint8");
  const std::string out = file(std::string(GetParam()) + "_state_out.mat");
  {
    std::ofstream stream(out, std::ios::binary);
    sfsim::mat::write_value(stream, "state", state.get());
  }
  host::engine::MxPtr again = sfsim::mat::read_value(out, "state");
  EXPECT_EQ(sfsim::to_json(again.get()), json);
  host::engine::MxPtr cell = sfsim::mat::read_value(path_, "c");
  EXPECT_EQ(sfsim::to_json(cell.get())["elements"][1]["text"], "a");
}

// A file cut short anywhere gives either the very values of the whole file or an
// error naming the file: never other values.
TEST_P(MatFile, TruncatedFilesNeverGiveOtherValues) {
  const std::string whole = bytes_of(path_);
  const std::string cut = file(std::string(GetParam()) + "_cut.mat");
  int refused = 0;
  for (std::size_t len = 0; len < whole.size(); len += 7) {
    write_bytes(cut, whole.substr(0, len));
    for (const char* name : {"x", "y", "state"}) {
      try {
        if (std::string(name) == "state") {
          host::engine::MxPtr s = sfsim::mat::read_value(cut, name);
          host::engine::MxPtr s0 = sfsim::mat::read_value(path_, name);
          EXPECT_EQ(sfsim::to_json(s.get()), sfsim::to_json(s0.get())) << len;
        } else {
          EXPECT_EQ(sfsim::mat::read_vector(cut, name), sfsim::mat::read_vector(path_, name))
              << len;
        }
      } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find(cut), std::string::npos) << e.what();
        ++refused;
      }
    }
  }
  EXPECT_GE(refused, static_cast<int>(whole.size() / 7));
}

TEST_P(MatFile, CorruptFilesRefused) {
  const std::string whole = bytes_of(path_);
  const std::string bad = file(std::string(GetParam()) + "_bad.mat");
  // The header of a MAT-file, then a variable tag of an unknown type and a size
  // beyond the file.
  write_bytes(bad, whole.substr(0, 128) + std::string("\x7f\x00\x00\x00\xff\xff\xff\x7f", 8) +
                       std::string(64, '\xa5'));
  expect_error([&] { sfsim::mat::read_vector(bad, "x"); }, {bad});
  write_bytes(bad, "x,y\n1,2\n");
  expect_error([&] { sfsim::mat::read_vector(bad, "x"); }, {bad, "not a MAT-file"});
  expect_error([&] { sfsim::mat::read_vector(file("none.mat"), "x"); },
               {file("none.mat"), "no such file"});
}

// An unnamed variable of cells nested `depth` deep around a double, as a
// little-endian MAT-file element (written outside in, so that a deep one costs no
// more than its bytes).
std::string nested_cells(int depth) {
  auto word = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto head = [&](std::uint32_t cls) {  // array flags, dimensions 1x1, empty name
    return word(6) + word(8) + word(cls) + word(0) + word(5) + word(8) + word(1) + word(1) +
           word(1) + word(0);
  };
  const double one = 1.0;
  const std::string inner =
      head(6) + word(9) + word(8) + std::string(reinterpret_cast<const char*>(&one), 8);
  std::string e;
  for (int level = depth; level >= 1; --level)
    e += word(14) + word(static_cast<std::uint32_t>(48 * level + inner.size())) + head(1);
  return e + word(14) + word(static_cast<std::uint32_t>(inner.size())) + inner;
}

TEST_P(MatFile, ArraysNestedTooDeepAreRefusedBeforeMatioReadsThem) {
  const std::string header = bytes_of(path_).substr(0, 128);
  const std::string bad = file(std::string(GetParam()) + "_deep.mat");
  // Deep enough to overflow the stack of a recursive reader, plain and compressed.
  write_bytes(bad, header + nested_cells(100000));
  expect_error([&] { sfsim::mat::read_vector(bad, "c"); }, {bad, "nested more than 32 deep"});
  const std::string plain = nested_cells(40);
  std::vector<unsigned char> packed(compressBound(plain.size()));
  uLongf n = packed.size();
  ASSERT_EQ(compress(packed.data(), &n, reinterpret_cast<const Bytef*>(plain.data()), plain.size()),
            Z_OK);
  write_bytes(bad, header + std::string("\x0f\0\0\0", 4) +
                       std::string(reinterpret_cast<const char*>(&n), 4) +
                       std::string(reinterpret_cast<const char*>(packed.data()), n));
  expect_error([&] { sfsim::mat::read_vector(bad, "c"); }, {bad, "nested more than 32 deep"});
  // Within the limit the nesting is no error (the class is).
  write_bytes(bad, header + nested_cells(20));
  try {
    sfsim::mat::read_vector(bad, "c");
    ADD_FAILURE() << "a cell read as a vector";
  } catch (const UserError& e) {
    EXPECT_EQ(std::string(e.what()).find("nested"), std::string::npos) << e.what();
  }
  // At the limit exactly (32 arrays: 31 cells around the double) the value is read
  // whole; one more is refused.
  write_bytes(bad, header + nested_cells(31));
  host::engine::MxPtr deep = sfsim::mat::read_value(bad, "");
  const mxArray* a = deep.get();
  int depth = 1;
  for (; mxGetClassID(a) == mxCELL_CLASS; ++depth)
    a = mxGetCell_700(a, 0);
  EXPECT_EQ(depth, 32);
  EXPECT_EQ(mxGetScalar(a), 1.0);
  deep.reset();
  write_bytes(bad, header + nested_cells(32));
  expect_error([&] { sfsim::mat::read_value(bad, ""); }, {bad, "nested more than 32 deep"});
}

// Files whose arrays claim what their bytes do not hold, or that hold what sfsim
// must not guess at, each refused naming the file and the variable, through the
// reader that sfsim uses for that input.
TEST(CraftedMatFile, EveryFalseClaimIsRefusedNamingFileAndVariable) {
  namespace mb = test_support::mat;
  fs::create_directories(folder());
  const std::vector<double> ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::string x = mb::double_array("x", {1, 10}, ten);
  const std::string y1 = mb::double_array("", {1, 1}, {0.5});
  const std::string flag = mb::array(9, {1, 1}, "", mb::element(2, "\x01"));
  auto state = [&](const std::string& values, std::vector<std::int32_t> dims = {1, 1}) {
    return mb::struct_array("state", dims, {"y1", "is_active"}, values);
  };
  const std::string bad = ": truncated or corrupt: ";
  struct Case {
    char reader;  // t table (x, y of 10 rows), z queries, s state, v the vector x
    std::string body, message;
  } const cases[] = {
      {'t', x + mb::double_array("y", {1, 243}, ten),
       "variable 'y'" + bad + "its data holds 10 values where its size 1x243 claims 243"},
      {'t', x + mb::double_array("y", {1, 9}, ten),
       "variable 'y'" + bad + "its data holds 10 values where its size 1x9 claims 9"},
      {'v', mb::array(6, {1, 1}, "x", mb::element(9, "1234")),
       "variable 'x'" + bad + "its data holds 0 values where its size 1x1 claims 1"},
      {'z', mb::double_array("z", {2000, 1}, ten),
       "variable 'z'" + bad + "its data holds 10 values where its size 2000x1 claims 2000"},
      {'z', mb::double_array("z", {0, 0}, {}), "variable 'z': the variable holds no query"},
      {'s', state(mb::double_array("", {1, 2}, {0.5}) + flag),
       "variable 'state'" + bad + "its data holds 1 value where its size 1x2 claims 2"},
      {'s', state(mb::struct_array("", {1, 1}, {"a"}, mb::double_array("", {3, 1}, {})) + flag),
       "variable 'state'" + bad + "its data holds 0 values where its size 3x1 claims 3"},
      {'v', mb::double_array("x", {1, 1 << 26}, {1}),
       "variable 'x'" + bad + "its data holds 1 value where its size 1x67108864 claims 67108864"},
      {'s', state(y1 + flag, {1 << 26, 1}),
       "variable 'state'" + bad + "its size 67108864x1 claims more values than the file holds"},
      {'v', mb::array(1, {1 << 13, 1 << 13}, "x", y1),
       "variable 'x'" + bad + "its size 8192x8192 claims more values than the file holds"},
      {'s', state(y1), "variable 'state'" + bad + "a struct holds 1 value where its size claims 2"},
      {'s', mb::struct_array("state", {1, 1}, {"y1", ""}, y1 + y1),
       "variable 'state'" + bad + "a struct has a field with an empty name"},
      {'s', mb::double_array("state", {1, 1}, {1}),
       "variable 'state': expected a saved state (a 1x1 struct), got double 1x1"},
      {'s', state(y1 + flag + y1 + flag, {1, 2}),
       "variable 'state': expected a saved state (a 1x1 struct), got struct 1x2"},
      {'v', mb::array(16, {1, 1}, "x", mb::array(1, {1, 1}, "", y1)),
       "variable 'x': holds a function handle, which is not read"},
      // A sparse array's data tag claiming gigabytes, cut short by the array's size.
      {'v',
       mb::word(14) + mb::word(55) +
           mb::array(5, {0, 0}, "x", mb::word(9) + mb::word(0xe8030000)).substr(8),
       "variable 'x'" + bad + "an array lacks its row indices"},
      {'v',
       mb::word(14) + mb::word(52) + mb::array(1, {1, 0}, "x", "").substr(8) + mb::word(9) +
           mb::word(0),
       "variable 'x'" + bad + "an element's tag is cut short"},
      {'v', mb::array(5, {1, 1}, "x", mb::element(5, mb::word(0))),
       "variable 'x'" + bad + "an array lacks its column starts"},
      {'v', mb::double_array("x", {1, -1}, {}),
       "variable 'x'" + bad + "an array has a negative dimension"},
      // MATLAB's version 7.3 is HDF5 after 512 bytes (Octave's, at the start, is
      // tested with Octave).
      {'v', std::string(384, ' ') + std::string("\x89HDF\r\n\x1a\n", 8),
       "a MAT-file of version 7.3 (HDF5), which sfsim does not read: save it as version 7 "
       "instead (save -v7 in Octave or MATLAB)"},
      {'v', mb::double_array(std::string("x\0evil", 6), {1, 1}, {1}),
       "variable 'x\\x00evil': its name holds a NUL byte"},
  };
  const std::string path = file("crafted.mat");
  const std::size_t live = host::mx::live_count();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    write_bytes(path, mb::header() + c.body);
    try {
      if (c.reader == 't') sfsim::mat::read_table(path, "x", "y", 10, "chart 1");
      if (c.reader == 'z') sfsim::mat::read_queries(path, "z");
      if (c.reader == 's') sfsim::mat::read_state(path);
      if (c.reader == 'v') sfsim::mat::read_vector(path, "x");
      ADD_FAILURE() << "read without an error";
    } catch (const UserError& e) {
      EXPECT_EQ(e.what(), path + ": " + c.message);
    }
  }
  EXPECT_EQ(host::mx::live_count(), live) << "arrays leaked";
  // The same shapes holding what they claim are read.
  write_bytes(path, mb::header() + x + mb::double_array("y", {10, 1}, ten));
  EXPECT_EQ(sfsim::mat::read_table(path, "x", "y", 10, "chart 1").y, ten);
  write_bytes(path, mb::header() + state(y1 + flag));
  EXPECT_EQ(mxGetNumberOfFields(sfsim::mat::read_state(path).get()), 2);
}

}  // namespace
