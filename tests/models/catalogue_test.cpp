// The catalogue columns of the five charts, written out here value by value, so that
// a changed digit or letter in a model's catalogue shows up as a failure rather than
// being carried silently into every record built from it.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "charts/texts.hpp"
#include "models/catalogue_view.hpp"
#include "tests/charts/chart_fixture.hpp"

namespace chart_test {
namespace {

struct Column {
  std::string model;
  int number;
  int N;
  uint32_t chart_checksum[4];
  uint32_t sfun_checksum[4];
  const char* autoinheritance;
  const char* specialization_id;
  const char* active_flag;
  const char* dispatcher;
};

const std::vector<Column>& columns() {
  static const std::vector<Column> c = {
      {"Harnvale",
       1,
       2402,
       {420144196u, 1446226589u, 925199814u, 3263377851u},
       {219337266u, 3105390425u, 1057402547u, 1578081674u},
       "XeSGqLBgQKpLtif172dxxF",
       "20X7XeZtqAT2K5zlEWRqEG",
       "is_active_c1_Harnvale",
       "c1_Harnvale_method_dispatcher"},
      {"Harnvale",
       2,
       401,
       {207144194u, 1757117914u, 1026443369u, 1123537778u},
       {3496719741u, 3997524062u, 2506016945u, 302210346u},
       "XpBqFWyZSTKVy4qof7J1CF",
       "l5enl81Qg7RF05jIfO9PlD",
       "is_active_c2_Harnvale",
       "c2_Harnvale_method_dispatcher"},
      {"Harnvale",
       3,
       243,
       {73668001u, 380876739u, 2728204112u, 662447913u},
       {124996221u, 1890776642u, 2422025532u, 2806139996u},
       "FiBgl2Y2MRxFUF287zST3B",
       "hEPGkbENMS5fVY982MGn4G",
       "is_active_c3_Harnvale",
       "c3_Harnvale_method_dispatcher"},
      {"Quimbrel",
       1,
       2722,
       {1378687181u, 2329191762u, 3302187018u, 413332065u},
       {260903316u, 4120248559u, 2745804586u, 3478046505u},
       "1eixTI5aZYxJ9IgkwCPkqD",
       "ki17hIprV1KTWkcqEkfaUD",
       "is_active_c1_Quimbrel",
       "c1_Quimbrel_method_dispatcher"},
      {"Quimbrel",
       2,
       390,
       {1254997415u, 3360894340u, 3941128002u, 3242617462u},
       {1125108507u, 1779025186u, 3153170480u, 3767111778u},
       "vdoADceFGKT2ubrNWpN01F",
       "6RXKcD8qXw2Opagun1ox3",
       "is_active_c2_Quimbrel",
       "c2_Quimbrel_method_dispatcher"},
  };
  return c;
}

template <class Chart>
const Column& expected_column() {
  for (const Column& c : columns())
    if (c.model == Chart::Model::name && c.number == Chart::column.number) return c;
  ADD_FAILURE() << "no column for chart " << Chart::column.number << " of " << Chart::Model::name;
  return columns().front();
}

template <class Chart>
class CatalogueTest : public ChartTest<Chart> {};
TYPED_TEST_SUITE(CatalogueTest, AllCharts);

TYPED_TEST(CatalogueTest, ColumnHoldsTheChartsConstants) {
  const Column& e = expected_column<TypeParam>();
  const charts::ChartColumn& c = TypeParam::column;
  EXPECT_EQ(c.table_length, e.N);
  EXPECT_EQ(TypeParam::N, e.N);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c.chart_checksum[i], e.chart_checksum[i]) << "word " << i;
    EXPECT_EQ(c.sfun_checksum[i], e.sfun_checksum[i]) << "word " << i;
  }
  EXPECT_STREQ(c.autoinheritance_checksum, e.autoinheritance);
  EXPECT_STREQ(c.specialization_id, e.specialization_id);
  // The names follow from the model and the chart number.
  EXPECT_STREQ(charts::text::ChartNames<TypeParam>::active_flag.c_str(), e.active_flag);
  EXPECT_STREQ(charts::text::ChartNames<TypeParam>::dispatcher.c_str(), e.dispatcher);
  // Eight of the identifier texts have 22 characters; chart 2 of Quimbrel's has 21.
  const std::size_t id_length = e.model == "Quimbrel" && e.number == 2 ? 21u : 22u;
  EXPECT_EQ(std::strlen(c.specialization_id), id_length);
  EXPECT_EQ(std::strlen(c.autoinheritance_checksum), 22u);
}

// The model's own check sums: none, machine, makefile, target.
using ModelWords = uint32_t[4][4];
constexpr ModelWords kHarnvaleSums = {{2682923507u, 2736407324u, 1223089852u, 1129152636u},
                                      {878894993u, 2496748826u, 364981764u, 4105591186u},
                                      {2901930842u, 2190760943u, 470297699u, 3589915450u},
                                      {3031367619u, 4001028638u, 3978939492u, 838979348u}};
constexpr ModelWords kQuimbrelSums = {{3169979126u, 515553555u, 3215762738u, 3872717964u},
                                      {2793627544u, 638236275u, 2734170511u, 3705990300u},
                                      {2287025347u, 2213824637u, 3447881020u, 4283747939u},
                                      {3031367619u, 4001028638u, 3978939492u, 838979348u}};

TYPED_TEST(CatalogueTest, ModelWideConstants) {
  const bool harnvale = std::string(TypeParam::Model::name) == "Harnvale";
  EXPECT_EQ(TypeParam::Model::chart_count, harnvale ? 3 : 2);
  EXPECT_EQ(TypeParam::Model::cv_fcn_last_arg, harnvale ? 62 : 53);
  EXPECT_EQ(TypeParam::Model::outside,
            harnvale ? charts::Outside::Extrapolate : charts::Outside::NaN);
  const charts::ModelChecksums& c = TypeParam::Model::checksums;
  const ModelWords& e = harnvale ? kHarnvaleSums : kQuimbrelSums;
  const uint32_t* const got[4] = {c.none, c.machine, c.makefile, c.target};
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(got[k][i], e[k][i]) << "sum " << k << " word " << i;
}

// What tools and tests read at run time is the catalogue's, model by model.
TEST(CatalogueView, HoldsTheModelsOfTheBuildInOrder) {
  const auto& all = models::catalogue();
  ASSERT_EQ(all.size(), 2u);
  const uint32_t* const sums[2] = {kHarnvaleSums[0], kQuimbrelSums[0]};
  for (std::size_t m = 0; m < all.size(); ++m) {
    EXPECT_EQ(all[m].deliverable, all[m].name + "_sfun");
    EXPECT_EQ(all[m].file, all[m].deliverable + models::kDeliverableSuffix);
    EXPECT_EQ(models::find_model(all[m].name), &all[m]);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(all[m].checksum[i], sums[m][i]) << all[m].name << " word " << i;
    for (const Column& e : columns()) {
      if (e.model != all[m].name) continue;
      ASSERT_LE(e.number, all[m].chart_count());
      const models::ChartView& c = all[m].charts[e.number - 1];
      EXPECT_EQ(c.number, e.number);
      EXPECT_EQ(c.table_length, e.N);
      EXPECT_EQ(c.outside, m == 0 ? charts::Outside::Extrapolate : charts::Outside::NaN);
      for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(c.checksum[i], e.chart_checksum[i]) << e.model << " c" << e.number;
        EXPECT_EQ(c.sfun_checksum[i], e.sfun_checksum[i]) << e.model << " c" << e.number;
      }
    }
  }
  EXPECT_EQ(all[0].name, "Harnvale");
  EXPECT_EQ(all[1].name, "Quimbrel");
  EXPECT_EQ(all[0].chart_count(), 3);
  EXPECT_EQ(all[1].chart_count(), 2);
  EXPECT_EQ(models::find_model("harnvale"), nullptr);
}

// What the columns reach: the records of the block carry this chart's own values.
TYPED_TEST(CatalogueTest, RecordsCarryTheColumnsValues) {
  const Column& e = expected_column<TypeParam>();
  const mxArray* d = TypeParam::get_sim_state_info();
  const mxArray* sum = mxGetField_700(d, 0, "chartChecksum");
  ASSERT_NE(sum, nullptr);
  ASSERT_EQ(mxGetNumberOfElements(sum), 4u);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(mxGetPr(sum)[i], static_cast<double>(e.chart_checksum[i])) << "word " << i;
  const mxArray* info = mxGetField_700(d, 0, "varInfo");
  ASSERT_NE(info, nullptr);
  char name[64] = {};
  ASSERT_EQ(mxGetString_700(mxGetField_700(info, 1, "name"), name, sizeof name), 0);
  EXPECT_STREQ(name, e.active_flag);
  mxDestroyArray(const_cast<mxArray*>(d));

  mxArray* r = TypeParam::get_autoinheritance_record();
  char checksum[64] = {};
  ASSERT_EQ(mxGetString_700(mxGetField_700(r, 0, "checksum"), checksum, sizeof checksum), 0);
  EXPECT_STREQ(checksum, e.autoinheritance);
  const mxArray* size = mxGetField_700(mxGetField_700(r, 0, "inputs"), 0, "size");
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(mxGetPr(size)[0], static_cast<double>(e.N));
  mxDestroyArray(r);

  Block& b = this->add_block();
  TypeParam::chart_set_work_widths(&b.S);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(ssGetChecksum(&b.S, i), e.sfun_checksum[i]) << "word " << i;
}

// Below the first breakpoint: the extrapolated value in Harnvale, NaN in Quimbrel.
TYPED_TEST(CatalogueTest, QueryBelowTheTable) {
  Block& b = this->started_block();
  b.z = -0.5;  // breakpoints 0, 1, 2, ... and values 0, 2, 4, ...
  TypeParam::chart_step(b.instance());
  if (std::string(TypeParam::Model::name) == "Harnvale") {
    EXPECT_EQ(b.y1, -1.0);
  } else {
    EXPECT_TRUE(std::isnan(b.y1)) << b.y1;
  }
}

}  // namespace
}  // namespace chart_test
