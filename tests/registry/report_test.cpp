// The resolved-functions reports of every chart of both models, field by field, and
// the host calls that build one.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "host/mx_host.hpp"
#include "host/trace.hpp"
#include "models/harnvale/model.hpp"
#include "models/quimbrel/model.hpp"
#include "registry/commands.hpp"
#include "tests/registry/expected_report.hpp"
#include "tests/registry/support.hpp"

namespace {

using regtest::Mx;

std::string file_text(const std::string& key) {
  for (const expected::File& f : expected::files)
    if (key == f.key) return f.text;
  ADD_FAILURE() << "no file " << key;
  return "";
}

uint32_t file_time(const std::string& key, bool harnvale) {
  for (const expected::File& f : expected::files)
    if (key == f.key) return harnvale ? f.harnvale_time : f.quimbrel_time;
  ADD_FAILURE() << "no file " << key;
  return 0;
}

// "Lk!sub" -> file text of Lk, "!", sub.
std::string context_text(const std::string& context) {
  if (context.empty()) return "";
  const std::size_t bang = context.find('!');
  if (bang == std::string::npos) return file_text(context);
  return file_text(context.substr(0, bang)) + context.substr(bang);
}

std::vector<expected::Row> expected_rows(bool harnvale) {
  if (harnvale) return {std::begin(expected::harnvale_rows), std::end(expected::harnvale_rows)};
  std::vector<expected::Row> rows;
  for (int r : expected::quimbrel_order)
    rows.push_back(r < 0 ? expected::quimbrel_own_row : expected::harnvale_rows[r]);
  return rows;
}

void expect_text(const mxArray* a, const std::string& text, const char* field, std::size_t row) {
  ASSERT_NE(a, nullptr) << field << " of row " << row;
  ASSERT_TRUE(mxIsChar(a)) << field << " of row " << row;
  EXPECT_EQ(mxGetM(a), 1u) << field << " of row " << row;
  EXPECT_EQ(mxGetN(a), text.size()) << field << " of row " << row;
  EXPECT_EQ(regtest::str(a), text) << field << " of row " << row;
}

void expect_time(const mxArray* a, uint32_t value, const char* field, std::size_t row) {
  ASSERT_NE(a, nullptr) << field << " of row " << row;
  ASSERT_EQ(mxGetClassID(a), mxUINT32_CLASS) << field << " of row " << row;
  ASSERT_EQ(mxGetNumberOfElements(a), 1u) << field << " of row " << row;
  EXPECT_EQ(*static_cast<const uint32_t*>(mxGetData(a)), value) << field << " of row " << row;
}

void expect_empty_column_cell(const mxArray* a, const char* field, std::size_t row) {
  ASSERT_NE(a, nullptr) << field << " of row " << row;
  ASSERT_TRUE(mxIsCell(a)) << field << " of row " << row;
  EXPECT_EQ(mxGetM(a), 0u) << field << " of row " << row;
  EXPECT_EQ(mxGetN(a), 1u) << field << " of row " << row;
}

// Every row and field of a report against the tables written out in the test.
void expect_report(const mxArray* report, bool harnvale) {
  const std::vector<expected::Row> rows = expected_rows(harnvale);
  ASSERT_NE(report, nullptr);
  ASSERT_TRUE(mxIsStruct(report));
  ASSERT_EQ(mxGetM(report), rows.size());
  ASSERT_EQ(mxGetN(report), 1u);
  const char* fields[] = {"context",    "name",        "dominantType", "resolved", "fileTimeLo",
                          "fileTimeHi", "mFileTimeLo", "mFileTimeHi",  "rhs",      "lhs"};
  ASSERT_EQ(mxGetNumberOfFields(report), 10);
  for (int f = 0; f < 10; ++f)
    EXPECT_STREQ(mxGetFieldNameByNumber(report, f), fields[f]);

  int m_time_rows = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const expected::Row& row = rows[i];
    const int r = static_cast<int>(i);
    expect_text(mxGetField_700(report, r, "context"), context_text(row.context), "context", i);
    expect_text(mxGetField_700(report, r, "name"), row.name, "name", i);
    expect_text(mxGetField_700(report, r, "dominantType"), row.dominant_type, "dominantType", i);
    expect_text(mxGetField_700(report, r, "resolved"), file_text(row.resolved), "resolved", i);
    expect_time(mxGetField_700(report, r, "fileTimeLo"), file_time(row.resolved, harnvale),
                "fileTimeLo", i);
    expect_time(mxGetField_700(report, r, "fileTimeHi"), 0, "fileTimeHi", i);
    const bool m_time = std::string(row.resolved) == expected::m_time_file;
    m_time_rows += m_time ? 1 : 0;
    expect_time(mxGetField_700(report, r, "mFileTimeLo"),
                m_time ? (harnvale ? expected::harnvale_m_time : expected::quimbrel_m_time) : 0,
                "mFileTimeLo", i);
    expect_time(mxGetField_700(report, r, "mFileTimeHi"), 0, "mFileTimeHi", i);
    expect_empty_column_cell(mxGetField_700(report, r, "rhs"), "rhs", i);
    expect_empty_column_cell(mxGetField_700(report, r, "lhs"), "lhs", i);
  }
  EXPECT_EQ(m_time_rows, 1);
}

// Through the command, as the build tools ask: a fresh copy each time, nothing else
// left alive.
template <class Model>
void check_query(int chart, bool harnvale) {
  Mx command = regtest::text("get_eml_resolved_functions_info");
  Mx name = regtest::text(Model::name);
  Mx number = regtest::num(chart);
  const mxArray* args[] = {command.get(), name.get(), number.get()};
  std::vector<Mx> answers;
  for (int call = 0; call < 2; ++call) {
    const std::size_t before = host::mx::live_count();
    mxArray* out[1] = {nullptr};
    registry::Commands<Model>::process_command_line_call(1, out, 3, args);
    answers.emplace_back(out[0]);
    EXPECT_EQ(host::mx::live_count(), before + regtest::node_count(out[0]));
    expect_report(out[0], harnvale);
  }
  EXPECT_NE(answers[0].get(), answers[1].get());
  EXPECT_NE(mxGetField_700(answers[0].get(), 0, "name"),
            mxGetField_700(answers[1].get(), 0, "name"));
}

struct ReportCase {
  std::string model;
  int chart;
};

void PrintTo(const ReportCase& c, std::ostream* os) {
  *os << c.model << ' ' << c.chart;
}

class ReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportTest, EveryRowOfTheChartsReport) {
  const ReportCase& c = GetParam();
  if (c.model == "Harnvale")
    check_query<harnvale::Model>(c.chart, true);
  else
    check_query<quimbrel::Model>(c.chart, false);
}

INSTANTIATE_TEST_SUITE_P(Reports, ReportTest,
                         ::testing::Values(ReportCase{"Harnvale", 1}, ReportCase{"Harnvale", 2},
                                           ReportCase{"Harnvale", 3}, ReportCase{"Quimbrel", 1},
                                           ReportCase{"Quimbrel", 2}),
                         [](const auto& info) {
                           return info.param.model + std::to_string(info.param.chart);
                         });

// The host calls of one build: per row its ten fields in order (the two cells each
// made in a slot and handed over as a duplicate), the slots of a writing step
// released after its last row, two per row, then the post-processing.
std::vector<std::string> expected_build_calls(int rows) {
  std::vector<std::string> calls = {
      "sf_mex_createstruct structure 2 " + std::to_string(rows) + "x1", "sf_mex_assign"};
  const char* texts[] = {"context", "name", "dominantType", "resolved"};
  const char* times[] = {"fileTimeLo", "fileTimeHi", "mFileTimeLo", "mFileTimeHi"};
  for (int first = 0; first < rows; first += 64) {
    const int end = std::min(rows, first + 64);
    for (int r = first; r < end; ++r) {
      for (const char* f : texts) {
        calls.push_back("sf_mex_create y 15 0 0 0 2");
        calls.push_back(std::string("sf_mex_addfield ") + f + " " + f + " " + std::to_string(r));
      }
      for (const char* f : times) {
        calls.push_back("sf_mex_create y 7 0 0 0 0");
        calls.push_back(std::string("sf_mex_addfield ") + f + " " + f + " " + std::to_string(r));
      }
      for (const char* f : {"rhs", "lhs"}) {
        calls.push_back("sf_mex_createcellmatrix 0 1");
        calls.push_back("sf_mex_assign");
        calls.push_back("sf_mex_duplicatearraysafe");
        calls.push_back(std::string("sf_mex_addfield ") + f + " " + f + " " + std::to_string(r));
      }
    }
    for (int k = 0; k < 2 * (end - first); ++k)
      calls.push_back("sf_mex_destroy");
  }
  calls.push_back("sf_mex_emlrtNameCapturePostProcessR2012a");
  return calls;
}

// The recorded runtime calls, reduced to what the order above names: the operation,
// and its plain (unquoted, non-array) arguments.
std::vector<std::string> recorded_build_calls(const std::vector<host::trace::Call>& calls) {
  std::vector<std::string> out;
  for (const host::trace::Call& c : calls) {
    if (c.op.rfind("sf_mex_", 0) != 0) continue;
    std::string line = c.op;
    if (c.op == "sf_mex_create") {
      // name, kind, complexity, a0, a1, dimension count
      for (int i = 0; i < 6; ++i)
        line += " " + c.args.at(i);
    } else if (c.op == "sf_mex_createstruct") {
      for (const std::string& a : c.args)
        line += " " + a;
    } else if (c.op == "sf_mex_createcellmatrix") {
      line += " " + c.args.at(0) + " " + c.args.at(1);
    } else if (c.op == "sf_mex_addfield") {
      line += " " + c.args.at(2) + " " + c.args.at(3) + " " + c.args.at(4);
    }
    std::string unquoted;
    for (char ch : line)
      if (ch != '"') unquoted += ch;
    out.push_back(unquoted);
  }
  return out;
}

template <class Col>
void check_build_order(int rows) {
  host::trace::Collector collector;
  const mxArray* report = registry::ResolvedFunctions<Col>::build_resolved_functions_report();
  const std::vector<std::string> got = recorded_build_calls(collector.calls());
  mxDestroyArray(const_cast<mxArray*>(report));
  const std::vector<std::string> want = expected_build_calls(rows);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i)
    ASSERT_EQ(got[i], want[i]) << "call " << i;
}

TEST(ReportBuild, HostCallOrderHarnvale) {
  check_build_order<harnvale::C2>(84);
}
TEST(ReportBuild, HostCallOrderQuimbrel) {
  check_build_order<quimbrel::C1>(81);
}

TEST(ReportBuild, TextValuesAreOneRowOfTheirLength) {
  const std::size_t before = host::mx::live_count();
  for (const char* text : {"", "x", "coder.internal.assert"}) {
    Mx v(const_cast<mxArray*>(registry::ResolvedFunctions<harnvale::C1>::make_text_value(text)));
    expect_text(v.get(), text, "text", 0);
  }
  for (uint32_t value : {0u, 1u, 4294967295u}) {
    Mx v(const_cast<mxArray*>(registry::ResolvedFunctions<quimbrel::C2>::make_time_value(value)));
    expect_time(v.get(), value, "time", 0);
  }
  EXPECT_EQ(host::mx::live_count(), before);
}

}  // namespace
