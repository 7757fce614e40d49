// sfsim's value formats: mxArray <-> JSON for every class it writes, and the number
// spellings of its CSV files; every array made is destroyed again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "platform/mx.h"
#include "tests/support/host_guard.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/mxjson.hpp"
#include "tools/text/markup.hpp"
#include "tools/text/numbers.hpp"

namespace {

using host::engine::MxPtr;
using sfsim::Json;

constexpr double kInf = std::numeric_limits<double>::infinity();

class Values : public test_support::HostTest {};

template <class T>
MxPtr numeric(mxClassID id, int m, int n, std::initializer_list<T> values) {
  MxPtr a(id == mxDOUBLE_CLASS ? mxCreateDoubleMatrix_700(m, n, mxREAL)
                               : mxCreateNumericMatrix_700(m, n, id, mxREAL));
  if (values.size() != 0)
    std::memcpy(mxGetData(a.get()), values.begin(), values.size() * sizeof(T));
  return a;
}

// Same class, size and bytes, all the way down.
::testing::AssertionResult same(const mxArray* a, const mxArray* b, const std::string& at = "$") {
  if (!a || !b) {
    if (a == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << at << ": one of the two is null";
  }
  if (mxGetClassID(a) != mxGetClassID(b) || mxGetM(a) != mxGetM(b) || mxGetN(a) != mxGetN(b))
    return ::testing::AssertionFailure() << at << ": class or size differ";
  const std::size_t n = mxGetNumberOfElements(a);
  if (mxIsStruct(a)) {
    if (mxGetNumberOfFields(a) != mxGetNumberOfFields(b))
      return ::testing::AssertionFailure() << at << ": field count differs";
    for (int f = 0; f < mxGetNumberOfFields(a); ++f) {
      if (std::string(mxGetFieldNameByNumber(a, f)) != mxGetFieldNameByNumber(b, f))
        return ::testing::AssertionFailure() << at << ": field " << f << " differs";
      for (std::size_t i = 0; i < n; ++i) {
        auto r = same(mxGetFieldByNumber_700(a, int(i), f), mxGetFieldByNumber_700(b, int(i), f),
                      at + "." + mxGetFieldNameByNumber(a, f));
        if (!r) return r;
      }
    }
    return ::testing::AssertionSuccess();
  }
  if (mxIsCell(a)) {
    for (std::size_t i = 0; i < n; ++i) {
      auto r = same(mxGetCell_700(a, int(i)), mxGetCell_700(b, int(i)),
                    at + "{" + std::to_string(i) + "}");
      if (!r) return r;
    }
    return ::testing::AssertionSuccess();
  }
  if (mxIsChar(a)) {
    std::string ta(n + 1, '\0'), tb(n + 1, '\0');
    mxGetString_700(a, ta.data(), int(n + 1));
    mxGetString_700(b, tb.data(), int(n + 1));
    if (ta == tb) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << at << ": '" << ta << "' != '" << tb << "'";
  }
  std::size_t size = 0;
  switch (mxGetClassID(a)) {
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS:
      size = 8;
      break;
    case mxSINGLE_CLASS:
    case mxINT32_CLASS:
    case mxUINT32_CLASS:
      size = 4;
      break;
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
      size = 2;
      break;
    default:
      size = 1;
  }
  if (n == 0 || std::memcmp(mxGetData(a), mxGetData(b), n * size) == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << at << ": data differ";
}

// Through the text, as a saved state file goes.
MxPtr round_trip(const mxArray* a) {
  return sfsim::from_json(Json::parse(sfsim::dump(sfsim::to_json(a))), "test");
}

TEST_F(Values, EveryClassReadsBackBitForBit) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<MxPtr> arrays;
  arrays.push_back(
      numeric<double>(mxDOUBLE_CLASS, 2, 4,
                      {0.1, 1.0 / 3, -0.0, 4.9406564584124654e-324, 1e308, nan, kInf, -kInf}));
  arrays.push_back(numeric<double>(mxDOUBLE_CLASS, 0, 0, {}));
  arrays.push_back(numeric<float>(mxSINGLE_CLASS, 1, 3, {1.1f, -0.0f, 3.4e38f}));
  arrays.push_back(numeric<std::int8_t>(mxINT8_CLASS, 1, 2, {-128, 127}));
  arrays.push_back(numeric<std::uint8_t>(mxUINT8_CLASS, 1, 2, {0, 255}));
  arrays.push_back(numeric<std::int16_t>(mxINT16_CLASS, 2, 1, {-32768, 32767}));
  arrays.push_back(numeric<std::uint16_t>(mxUINT16_CLASS, 1, 1, {65535}));
  arrays.push_back(numeric<std::int32_t>(mxINT32_CLASS, 1, 2, {INT32_MIN, INT32_MAX}));
  arrays.push_back(numeric<std::uint32_t>(mxUINT32_CLASS, 1, 1, {4294967295u}));
  arrays.push_back(numeric<std::int64_t>(mxINT64_CLASS, 1, 2, {INT64_MIN, INT64_MAX}));
  arrays.push_back(numeric<std::uint64_t>(mxUINT64_CLASS, 1, 1, {UINT64_MAX}));
  arrays.emplace_back(mxCreateLogicalScalar(true));
  arrays.emplace_back(mxCreateString("is_active_c1_Harnvale"));
  arrays.emplace_back(mxCreateStringFromNChars_700("", 0));
  const char* rows[] = {"abc", "de "};
  arrays.emplace_back(mxCreateCharMatrixFromStrings_700(2, rows));

  const char* fields[] = {"a", "b"};
  MxPtr s(mxCreateStructMatrix_700(1, 2, 2, fields));
  mxSetField_700(s.get(), 0, "a", mxCreateDoubleScalar(-2.5));
  MxPtr c(mxCreateCellMatrix_700(2, 1));
  mxSetCell_700(c.get(), 1, mxCreateString("x"));
  mxSetField_700(s.get(), 1, "a", c.release());
  mxSetField_700(s.get(), 1, "b", mxCreateLogicalScalar(false));
  arrays.push_back(std::move(s));

  // The comparison sees a sign and a class.
  MxPtr plus = numeric<double>(mxDOUBLE_CLASS, 1, 1, {0.0});
  MxPtr minus = numeric<double>(mxDOUBLE_CLASS, 1, 1, {-0.0});
  MxPtr u8 = numeric<std::uint8_t>(mxUINT8_CLASS, 1, 1, {0});
  EXPECT_FALSE(same(plus.get(), minus.get()));
  EXPECT_FALSE(same(plus.get(), u8.get()));

  for (const auto& a : arrays) {
    SCOPED_TRACE(sfsim::dump(sfsim::to_json(a.get())));
    MxPtr b = round_trip(a.get());
    EXPECT_TRUE(same(a.get(), b.get()));
  }
}

TEST_F(Values, JsonSpellsSpecialsAndCharsAsDocumented) {
  MxPtr d = numeric<double>(mxDOUBLE_CLASS, 1, 3, {std::nan(""), kInf, -kInf});
  EXPECT_EQ(sfsim::to_json(d.get()),
            Json::parse(R"({"class":"double","size":[1,3],"data":["NaN","Inf","-Inf"]})"));
  const char* rows[] = {"ab", "cd"};
  MxPtr t(mxCreateCharMatrixFromStrings_700(2, rows));
  EXPECT_EQ(sfsim::to_json(t.get()),
            Json::parse(R"({"class":"char","size":[2,2],"text":"acbd"})"));  // column-major
  EXPECT_EQ(sfsim::to_json(nullptr), Json(nullptr));
}

TEST_F(Values, MalformedValuesAreRefusedWithWhereAndWhat) {
  struct Case {
    const char* json;
    const char* message;
  } cases[] = {
      {R"([1])", "f: $: must be an object with \"class\" and \"size\""},
      {R"({"class":"quaternion","size":[1,1]})", "f: $: unknown class \"quaternion\""},
      {R"({"class":"double","size":[1]})",
       "f: $: \"size\" must be [rows, columns] of whole numbers"},
      {R"({"class":"double","size":[1,2],"data":[1]})",
       "f: $: \"data\" has 1 entries for a size of 2 elements"},
      {R"({"class":"double","size":[1,1],"data":["nan"]})",
       "f: $.data[0]: not a number (nor \"NaN\", \"Inf\", \"-Inf\")"},
      {R"({"class":"uint8","size":[1,1],"data":[256]})",
       "f: $.data[0]: not a whole number in the range of the class"},
      {R"({"class":"int8","size":[1,1],"data":[1.5]})",
       "f: $.data[0]: not a whole number in the range of the class"},
      {R"({"class":"logical","size":[1,2],"data":[true,false]})",
       "f: $: only logical scalars can be made"},
      {R"({"class":"char","size":[1,3],"text":"ab"})",
       "f: $: \"text\" has 2 characters for a size of 3"},
      {R"({"class":"struct","size":[1,1],"fields":["a","a"],"elements":[{}]})",
       "f: $: field \"a\" is named twice"},
      {R"({"class":"struct","size":[1,1],"fields":["a"],
           "elements":[{"a":{"class":"double","size":[1,1],"data":[1]}, "b":null}]})",
       "f: $.elements[0]: \"b\" is not among \"fields\""},
      {R"({"class":"cell","size":[1,2],"elements":[{"class":"double","size":[1,1],"data":[1]},
           {"class":"uint8","size":[1,1],"data":[-1]}]})",
       "f: $.elements[1].data[0]: not a whole number in the range of the class"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    try {
      sfsim::from_json(Json::parse(c.json), "f");
      ADD_FAILURE() << "accepted";
    } catch (const sfsim::UserError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(Numbers, SpellingsWrittenAndRead) {
  // The shortest text that reads back to the same bits.
  EXPECT_EQ(sfsim::format_number(0.1), "0.1");
  EXPECT_EQ(sfsim::format_number(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(sfsim::format_number(-2.2250738585072014e-308), "-2.2250738585072014e-308");
  EXPECT_EQ(sfsim::format_number(5e-324), "5e-324");
  EXPECT_EQ(sfsim::format_number(-0.0), "-0");
  EXPECT_EQ(sfsim::format_number(std::nan("")), "NaN");
  EXPECT_EQ(sfsim::format_number(kInf), "Inf");
  EXPECT_EQ(sfsim::format_number(-kInf), "-Inf");
  for (const char* ok : {"NaN", " Inf", "-Inf ", "+Inf", "1e-5", "+2.5", "-0", ".5", "7."})
    EXPECT_TRUE(sfsim::parse_number(ok).has_value()) << ok;
  for (const char* bad : {"", "nan", "inf", "Infinity", "0x10", "1e400", "1,5", "1 2", "--1", "e5"})
    EXPECT_FALSE(sfsim::parse_number(bad).has_value()) << bad;
  EXPECT_TRUE(std::signbit(*sfsim::parse_number("-0")));
  EXPECT_TRUE(std::isnan(*sfsim::parse_number("NaN")));
  EXPECT_EQ(*sfsim::parse_number("-Inf"), -kInf);
}

TEST(Numbers, EvenlySpacedQueriesEndExactlyOnB) {
  auto z = sfsim::parse_range("0.1:0.7:7");
  ASSERT_EQ(z.size(), 7u);
  EXPECT_EQ(z.front(), 0.1);
  EXPECT_EQ(z.back(), 0.7);
  EXPECT_EQ(sfsim::parse_range("3:9:1"), std::vector<double>{3});
}

// A value nested deeper than the reader goes is refused however it was parsed, and
// no array is left behind (the fixture counts them).
TEST_F(Values, NestingIsBoundedInTheReaderToo) {
  auto nest = [](int levels) {
    Json v = Json::parse(R"({"class":"double","size":[1,1],"data":[1]})");
    for (int i = 0; i < levels; ++i)
      v = Json{{"class", "cell"}, {"size", Json::array({1u, 1u})}, {"elements", Json::array({v})}};
    return v;
  };
  EXPECT_NE(sfsim::from_json(nest(sfsim::kMaxJsonDepth - 1), "f"), nullptr);
  try {
    sfsim::from_json(nest(sfsim::kMaxJsonDepth), "f");
    ADD_FAILURE() << "accepted";
  } catch (const sfsim::UserError& e) {
    std::string where = "$";
    for (int i = 0; i < sfsim::kMaxJsonDepth; ++i)
      where += ".elements[0]";
    EXPECT_EQ(e.what(), "f: " + where + ": values nested more than 32 deep");
  }
}

TEST(Numbers, OutOfRangeIsToldApartAndTextsAreShownSafely) {
  using sfsim::NumberText;
  EXPECT_EQ(sfsim::read_number("1e400").kind, NumberText::OutOfRange);
  EXPECT_EQ(sfsim::read_number("-1e400").kind, NumberText::OutOfRange);
  // Not 0, yet it would read as 0: refused like a number too large. The subnormal
  // numbers read as themselves, and 0 is 0.
  EXPECT_EQ(sfsim::read_number("1e-400").kind, NumberText::OutOfRange);
  EXPECT_EQ(sfsim::read_number("-2e-324").kind, NumberText::OutOfRange);
  EXPECT_EQ(sfsim::number_fault("1e-400"),
            "is out of the range of a double (too close to 0: it would read as 0)");
  EXPECT_EQ(sfsim::number_fault("1e400"), "is out of the range of a double");
  EXPECT_EQ(sfsim::read_number("4.9406564584124654e-324").value, 0x1p-1074);
  EXPECT_EQ(sfsim::read_number("3e-324").value, 0x1p-1074);
  EXPECT_EQ(sfsim::read_number("0e-400").kind, NumberText::Number);
  EXPECT_EQ(sfsim::read_number("-0.000e-999").value, 0.0);
  EXPECT_EQ(sfsim::read_number("1x").kind, NumberText::NotANumber);
  EXPECT_EQ(sfsim::printable("a\x1b[2J\n\t\r\x7f"), "a\\x1b[2J\\n\\t\\r\\x7f");
  EXPECT_EQ(sfsim::printable("abcdef", 3), "abc...");
  EXPECT_EQ(sfsim::quoted(std::string(100, 'x')), "'" + std::string(60, 'x') + "...'");
}

// Byte counts: whole decimal numbers with k, M or G, nothing that wraps around.
TEST(Numbers, ByteCountsReadExactlyOrSayWhy) {
  const std::string bad =
      "is not a whole number of bytes of at least 1, with an optional suffix k, M or G";
  const std::string big = "is too large (at most 18446744073709551615 bytes)";
  const struct {
    const char* text;
    std::uint64_t bytes;  // when it reads
    std::string fault;
  } cases[] = {{"100k", 102400, ""},
               {"3M", 3u << 20, ""},
               {"18446744073709551615", UINT64_MAX, ""},
               {"17179869183G", 17179869183ull << 30, ""},
               {"17179869184G", 0, big},
               {"18446744073709551616", 0, big},
               {"1T", 0, bad},
               {"0x10", 0, bad},
               {"0k", 0, bad},
               {"k", 0, bad}};
  for (const auto& c : cases) {
    std::uint64_t bytes = 0;
    EXPECT_EQ(sfsim::read_byte_count(c.text, bytes), c.fault) << c.text;
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
}

// Ends whose distance is no double are interpolated between; ordinary ranges keep
// their spacing arithmetic (the README's example values).
TEST(Numbers, RangesStayFiniteAndExact) {
  const double big = 1.7976931348623157e308;
  sfsim::Range r{-big, big, 3};
  EXPECT_EQ(r.at(0), -big);
  EXPECT_EQ(r.at(1), 0.0);
  EXPECT_EQ(r.at(2), big);
  sfsim::Range readme{-1, 25, 6};
  EXPECT_EQ(readme.at(1), -1 + 26 * 0.2);
  EXPECT_EQ(readme.at(1), 4.2000000000000002);
  EXPECT_EQ(sfsim::parse_range_spec("0:1:9007199254740992").k, sfsim::kMaxQueries);
  EXPECT_THROW(sfsim::parse_range_spec("0:1:9007199254740993"), sfsim::UserError);
  sfsim::Table wide{{-big, 0, big}, {0, 0, 0}};
  sfsim::Range d = sfsim::default_range(wide);
  EXPECT_EQ(d.a, -big);
  EXPECT_EQ(d.b, big);
  EXPECT_EQ(d.k, 201);
}

// Text set into a plot's title or the coverage page cannot end an attribute or open
// markup; everything else, control characters and UTF-8 included, passes as it is.
TEST(Markup, EscapesWhatWouldBreakTheMarkupOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"a & b", "a &amp; b"},
      {"<svg>", "&lt;svg&gt;"},
      {"say \"hi\"", "say &quot;hi&quot;"},
      {"&amp;", "&amp;amp;"},
      {"it's \t\xc3\xa9", "it's \t\xc3\xa9"},
      {"", ""},
  };
  for (const auto& [text, escaped] : cases)
    EXPECT_EQ(sfsim::xml_escape(text), escaped) << text;
}

}  // namespace
