// The information records of every chart: field order, classes, sizes, the decoded
// sim-state description, fresh arrays per call, nothing left behind.
#include <string>
#include <vector>

#include "tests/charts/chart_fixture.hpp"

namespace chart_test {
namespace {

template <class Chart>
class RecordsTest : public ChartTest<Chart> {};
TYPED_TEST_SUITE(RecordsTest, AllCharts);

std::vector<std::string> field_names(const mxArray* s) {
  std::vector<std::string> out;
  for (int i = 0; i < mxGetNumberOfFields(s); ++i)
    out.push_back(mxGetFieldNameByNumber(s, i));
  return out;
}

std::string text_of(const mxArray* a) {
  char buf[128];
  EXPECT_TRUE(mxIsChar(a));
  EXPECT_EQ(mxGetString_700(a, buf, sizeof buf), 0);
  return buf;
}

void expect_empty_double(const mxArray* a, const char* what) {
  ASSERT_NE(a, nullptr) << what;
  EXPECT_EQ(mxGetClassID(a), mxDOUBLE_CLASS) << what;
  EXPECT_EQ(mxGetM(a), 0u) << what;
  EXPECT_EQ(mxGetN(a), 0u) << what;
  EXPECT_FALSE(mxIsComplex(a)) << what;
}

void expect_port_entry(const mxArray* entries, int i, double rows, double cols) {
  const mxArray* size = mxGetField_700(entries, i, "size");
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(mxGetClassID(size), mxDOUBLE_CLASS);
  ASSERT_EQ(mxGetM(size), 1u);
  ASSERT_EQ(mxGetN(size), 2u);
  EXPECT_EQ(mxGetPr(size)[0], rows) << "entry " << i;
  EXPECT_EQ(mxGetPr(size)[1], cols) << "entry " << i;
  const mxArray* type = mxGetField_700(entries, i, "type");
  ASSERT_NE(type, nullptr);
  ASSERT_TRUE(mxIsStruct(type));
  EXPECT_EQ(mxGetNumberOfElements(type), 1u);
  EXPECT_EQ(field_names(type), (std::vector<std::string>{"base", "fixpt"}));
  const mxArray* base = mxGetField_700(type, 0, "base");
  ASSERT_NE(base, nullptr);
  EXPECT_TRUE(mxIsDouble(base));
  EXPECT_EQ(mxGetNumberOfElements(base), 1u);
  EXPECT_EQ(mxGetScalar(base), 10.0);
  expect_empty_double(mxGetField_700(type, 0, "fixpt"), "fixpt");
  const mxArray* complexity = mxGetField_700(entries, i, "complexity");
  ASSERT_NE(complexity, nullptr);
  EXPECT_TRUE(mxIsDouble(complexity));
  EXPECT_EQ(mxGetNumberOfElements(complexity), 1u);
  EXPECT_EQ(mxGetScalar(complexity), 0.0);
}

TYPED_TEST(RecordsTest, AutoinheritanceRecord) {
  constexpr int N = TypeParam::N;
  mxArray* r = TypeParam::get_autoinheritance_record();
  ASSERT_TRUE(mxIsStruct(r));
  EXPECT_EQ(mxGetM(r), 1u);
  EXPECT_EQ(mxGetN(r), 1u);
  EXPECT_EQ(field_names(r),
            (std::vector<std::string>{"checksum", "inputs", "parameters", "outputs", "locals"}));
  EXPECT_EQ(text_of(mxGetField_700(r, 0, "checksum")), TypeParam::column.autoinheritance_checksum);
  const mxArray* inputs = mxGetField_700(r, 0, "inputs");
  ASSERT_TRUE(mxIsStruct(inputs));
  EXPECT_EQ(mxGetM(inputs), 1u);
  EXPECT_EQ(mxGetN(inputs), 3u);
  EXPECT_EQ(field_names(inputs), (std::vector<std::string>{"size", "type", "complexity"}));
  expect_port_entry(inputs, 0, N, 1);
  expect_port_entry(inputs, 1, N, 1);
  expect_port_entry(inputs, 2, 1, 1);
  expect_empty_double(mxGetField_700(r, 0, "parameters"), "parameters");
  const mxArray* outputs = mxGetField_700(r, 0, "outputs");
  ASSERT_TRUE(mxIsStruct(outputs));
  EXPECT_EQ(mxGetNumberOfElements(outputs), 1u);
  EXPECT_EQ(field_names(outputs), (std::vector<std::string>{"size", "type", "complexity"}));
  expect_port_entry(outputs, 0, 1, 1);
  expect_empty_double(mxGetField_700(r, 0, "locals"), "locals");
  mxDestroyArray(r);
}

TYPED_TEST(RecordsTest, UsesAndBuildInfoAreEmptyRowCells) {
  for (mxArray* c : {TypeParam::get_uses_record(), TypeParam::get_build_info_args_record()}) {
    ASSERT_TRUE(mxIsCell(c));
    EXPECT_EQ(mxGetM(c), 1u);
    EXPECT_EQ(mxGetN(c), 0u);
    mxDestroyArray(c);
  }
}

TYPED_TEST(RecordsTest, SimStateDescription) {
  const mxArray* d = TypeParam::get_sim_state_info();
  ASSERT_TRUE(mxIsStruct(d));
  EXPECT_EQ(mxGetNumberOfElements(d), 1u);
  EXPECT_EQ(field_names(d), (std::vector<std::string>{"chartChecksum", "varInfo"}));
  const mxArray* sum = mxGetField_700(d, 0, "chartChecksum");
  ASSERT_EQ(mxGetM(sum), 1u);
  ASSERT_EQ(mxGetN(sum), 4u);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(mxGetPr(sum)[i], static_cast<double>(TypeParam::column.chart_checksum[i]));
  const mxArray* info = mxGetField_700(d, 0, "varInfo");
  ASSERT_TRUE(mxIsStruct(info));
  ASSERT_EQ(mxGetM(info), 1u);
  ASSERT_EQ(mxGetN(info), 2u);
  EXPECT_EQ(field_names(info), (std::vector<std::string>{"type", "srcId", "name", "auxInfo"}));
  const double type[2] = {1, 8}, src[2] = {7, 0};
  const std::string names[2] = {"y1", charts::text::ChartNames<TypeParam>::active_flag.c_str()};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(mxGetScalar(mxGetField_700(info, i, "type")), type[i]);
    EXPECT_EQ(mxGetScalar(mxGetField_700(info, i, "srcId")), src[i]);
    EXPECT_EQ(text_of(mxGetField_700(info, i, "name")), names[i]);
    const mxArray* aux = mxGetField_700(info, i, "auxInfo");
    EXPECT_TRUE(aux == nullptr || mxIsEmpty(aux));
  }
  mxDestroyArray(const_cast<mxArray*>(d));
}

TYPED_TEST(RecordsTest, EncodedTextsCarryTheChartsOwnNames) {
  const std::string flag = charts::text::ChartNames<TypeParam>::active_flag.c_str();
  EXPECT_EQ(std::string(TypeParam::encoded_sim_state_info()),
            "100 S1x2'type','srcId','name','auxInfo'{{M[1],M[7],T\"y1\",},{M[8],M[0],T\"" + flag +
                "\",}}");
  EXPECT_EQ(std::string(TypeParam::dispatcher_error_format()),
            std::string("Stateflow Internal Error:\nError calling ") +
                charts::text::ChartNames<TypeParam>::dispatcher.c_str() +
                ".\nCan't handle method %d.\n");
}

TYPED_TEST(RecordsTest, EveryCallGivesANewArrayAndNothingStays) {
  const std::size_t live = host::mx::live_count();
  mxArray* a1 = TypeParam::get_autoinheritance_record();
  mxArray* a2 = TypeParam::get_autoinheritance_record();
  mxArray* u1 = TypeParam::get_uses_record();
  mxArray* u2 = TypeParam::get_uses_record();
  mxArray* b1 = TypeParam::get_build_info_args_record();
  mxArray* b2 = TypeParam::get_build_info_args_record();
  const mxArray* s1 = TypeParam::get_sim_state_info();
  const mxArray* s2 = TypeParam::get_sim_state_info();
  EXPECT_NE(a1, a2);
  EXPECT_NE(u1, u2);
  EXPECT_NE(b1, b2);
  EXPECT_NE(s1, s2);
  EXPECT_NE(mxGetField_700(a1, 0, "inputs"), mxGetField_700(a2, 0, "inputs"));
  EXPECT_EQ(host::mx::describe(a1), host::mx::describe(a2));
  for (const mxArray* a :
       {static_cast<const mxArray*>(a1), static_cast<const mxArray*>(a2),
        static_cast<const mxArray*>(u1), static_cast<const mxArray*>(u2),
        static_cast<const mxArray*>(b1), static_cast<const mxArray*>(b2), s1, s2})
    mxDestroyArray(const_cast<mxArray*>(a));
  EXPECT_EQ(host::mx::live_count(), live);
}

TYPED_TEST(RecordsTest, ChecksumFillsTheCallersArray) {
  mxArray* sum = mxCreateDoubleMatrix_700(1, 4, mxREAL);
  TypeParam::chart_checksum(sum);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(mxGetPr(sum)[i], static_cast<double>(TypeParam::column.chart_checksum[i]));
  mxDestroyArray(sum);
  EXPECT_STREQ(TypeParam::specialization_id(), TypeParam::column.specialization_id);
}

}  // namespace
}  // namespace chart_test
