// The command chain of both models, called directly through the registry templates
// and, when the plug-ins are built, through each plug-in's mexFunction.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "models/harnvale/model.hpp"
#include "models/quimbrel/model.hpp"
#include "registry/commands.hpp"
#include "tests/registry/support.hpp"

#include "host/engine.hpp"
#include "models/catalogue_view.hpp"

namespace {

using regtest::Mx;
using Arg = std::variant<std::string, double>;
using Args = std::vector<Arg>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Who answers: the registry template of a model, or a built plug-in.
struct Target {
  std::string label;
  std::string model;
  // Runs the call with one output; returns output 0.
  std::function<Mx(std::vector<const mxArray*>&)> call;
  host::mex::PluginId plugin;  // whose lock the unlock command releases
};

template <class Model>
Mx call_direct(std::vector<const mxArray*>& args) {
  mxArray* out[1] = {nullptr};
  registry::Commands<Model>::process_command_line_call(1, out, static_cast<int>(args.size()),
                                                       args.data());
  return Mx(out[0]);
}

// Stands for the direct template's plug-in, whose lock no unlock can release.
template <class Model>
int direct_id;

host::engine::Engine& engine() {
  static host::engine::Engine e;
  return e;
}
host::engine::Plugin& plugin(const std::string& model) {
  return engine().load(std::string(models::kBuildDeliverableDir) + "/" + model + "_sfun" +
                       models::kDeliverableSuffix);
}

// Every model twice: its registry template called directly, and its built plug-in.
std::vector<Target> targets() {
  std::vector<Target> t;
  models::All::each([&]<class Model>() {
    t.push_back({std::string("direct_") + Model::name, Model::name, &call_direct<Model>,
                 &direct_id<Model>});
  });
  models::All::each([&]<class Model>() {
    const std::string model = Model::name;
    t.push_back({"plugin_" + model, model,
                 [model](std::vector<const mxArray*>& args) {
                   auto out = plugin(model).call_matlab(1, args);
                   return Mx(out.at(0).release());
                 },
                 plugin(model).id()});
  });
  return t;
}

const Target& target_of(const std::string& label) {
  static const std::vector<Target> all = targets();
  for (const Target& t : all)
    if (t.label == label) return t;
  throw std::logic_error("no target " + label);
}

std::vector<std::string> target_labels() {
  std::vector<std::string> labels;
  for (const Target& t : targets())
    labels.push_back(t.label);
  return labels;
}

// The arguments as host values, owned by the test.
struct Inputs {
  explicit Inputs(const Args& args) {
    for (const Arg& a : args)
      owned.push_back(std::holds_alternative<std::string>(a) ? regtest::text(std::get<0>(a))
                                                             : regtest::num(std::get<1>(a)));
    for (const Mx& m : owned)
      raw.push_back(m.get());
  }
  std::vector<Mx> owned;
  std::vector<const mxArray*> raw;
};

// A call that must succeed: its answer is the only thing it leaves alive.
Mx answer(const Target& t, const Args& args) {
  Inputs in(args);
  const std::size_t before = host::mx::live_count();
  Mx out = t.call(in.raw);
  EXPECT_EQ(host::mx::live_count(), before + regtest::node_count(out.get())) << "leaked arrays";
  return out;
}

// A call that must fail: its message; it leaves nothing alive.
std::string failure(const Target& t, const Args& args) {
  Inputs in(args);
  const std::size_t before = host::mx::live_count();
  std::string message = "<no error>";
  try {
    Mx out = t.call(in.raw);
  } catch (const host::HostError& e) {
    message = e.what();
  }
  EXPECT_EQ(host::mx::live_count(), before) << "leaked arrays";
  return message;
}

void expect_words(const mxArray* a, const regtest::Words& words) {
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(mxIsDouble(a));
  ASSERT_EQ(mxGetM(a), 1u);
  ASSERT_EQ(mxGetN(a), 4u);
  EXPECT_EQ(regtest::doubles(a), words);
}

const regtest::Words kZeros = {0, 0, 0, 0};

// ---------------------------------------------------------------------------------
// sf_get_check_sum

struct ChecksumCase {
  std::string target;
  std::string what;
  Args args;
  regtest::Words words;
};

std::vector<ChecksumCase> checksum_cases() {
  std::vector<ChecksumCase> cases;
  for (const std::string& label : target_labels()) {
    const regtest::ModelFacts& f = regtest::facts_of(target_of(label).model);
    auto add = [&](std::string what, Args args, regtest::Words words) {
      cases.push_back({label, std::move(what), std::move(args), std::move(words)});
    };
    add("none", {"sf_get_check_sum"}, f.none);
    add("number_second", {"sf_get_check_sum", 7.0}, f.none);
    add("machine", {"sf_get_check_sum", "machine"}, f.machine);
    add("exportedFcn", {"sf_get_check_sum", "exportedFcn"}, kZeros);
    add("makefile", {"sf_get_check_sum", "makefile"}, f.makefile);
    add("target", {"sf_get_check_sum", "target"}, f.target);
    add("machine_extra", {"sf_get_check_sum", "machine", 1.0, 2.0}, f.machine);
    for (int n = 1; n <= f.charts; ++n)
      add("chart" + std::to_string(n), {"sf_get_check_sum", "chart", double(n)},
          f.chart_words[n - 1]);
    add("chart_2_9", {"sf_get_check_sum", "chart", 2.9}, f.chart_words[1]);
    add("chart_1_5", {"sf_get_check_sum", "chart", 1.5}, f.chart_words[0]);
    add("chart_0", {"sf_get_check_sum", "chart", 0.0}, kZeros);
    add("chart_0_99", {"sf_get_check_sum", "chart", 0.99}, kZeros);
    add("chart_minus_0_5", {"sf_get_check_sum", "chart", -0.5}, kZeros);
    add("chart_minus_1", {"sf_get_check_sum", "chart", -1.0}, kZeros);
    add("chart_above", {"sf_get_check_sum", "chart", double(f.charts + 1)}, kZeros);
    add("chart_NaN", {"sf_get_check_sum", "chart", kNaN}, kZeros);
    add("chart_Inf", {"sf_get_check_sum", "chart", kInf}, kZeros);
    add("chart_minus_Inf", {"sf_get_check_sum", "chart", -kInf}, kZeros);
    add("chart_1e300", {"sf_get_check_sum", "chart", 1e300}, kZeros);
    add("chart_minus_1e300", {"sf_get_check_sum", "chart", -1e300}, kZeros);
    add("chart_2pow31", {"sf_get_check_sum", "chart", 2147483648.0}, kZeros);
    add("chart_2pow32_plus_1", {"sf_get_check_sum", "chart", 4294967297.0}, kZeros);
  }
  return cases;
}

void PrintTo(const ChecksumCase& c, std::ostream* os) {
  *os << c.target << ' ' << c.what;
}

class ChecksumTest : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(ChecksumTest, AnswersTheWords) {
  const ChecksumCase& c = GetParam();
  Mx out = answer(target_of(c.target), c.args);
  expect_words(out.get(), c.words);
}

INSTANTIATE_TEST_SUITE_P(Commands, ChecksumTest, ::testing::ValuesIn(checksum_cases()),
                         [](const auto& info) {
                           return info.param.target + "_" + info.param.what;
                         });

// ---------------------------------------------------------------------------------
// Calls that no handler takes

struct DeclineCase {
  std::string what;
  std::function<Args(const regtest::ModelFacts&)> args;
};

std::string other_model(const regtest::ModelFacts& f) {
  return std::string(f.name) == "Harnvale" ? "Quimbrel" : "Harnvale";
}
std::string lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const DeclineCase kDeclines[] = {
    {"no_inputs", [](auto&) { return Args{}; }},
    {"number_command", [](auto&) { return Args{7.0}; }},
    {"four_numbers",
     [](auto&) {
       return Args{0.0, 0.0, 0.0, 0.0};
     }},
    {"unknown_command", [](auto&) { return Args{"sf_get_checksum"}; }},
    {"empty_command", [](auto&) { return Args{""}; }},
    {"checksum_case", [](auto&) { return Args{"SF_GET_CHECK_SUM"}; }},
    {"checksum_cut_20", [](auto&) { return Args{"sf_get_check_sum_xyz"}; }},
    {"checksum_cut_long", [](auto&) { return Args{"sf_get_check_sum and a good deal more"}; }},
    {"checksum_unknown_sub",
     [](auto&) {
       return Args{"sf_get_check_sum", "modelfile"};
     }},
    {"checksum_sub_case",
     [](auto&) {
       return Args{"sf_get_check_sum", "Machine"};
     }},
    {"checksum_sub_cut",
     [](auto&) {
       return Args{"sf_get_check_sum", "machine_and_then_some"};
     }},
    {"checksum_chart_2_inputs",
     [](auto&) {
       return Args{"sf_get_check_sum", "chart"};
     }},
    {"checksum_chart_4_inputs",
     [](auto&) {
       return Args{"sf_get_check_sum", "chart", 1.0, 1.0};
     }},
    {"unlock_cut", [](auto&) { return Args{"sf_mex_unlock_and_more"}; }},
    {"unlock_case", [](auto&) { return Args{"SF_MEX_UNLOCK"}; }},
};

// The four model-name-checked commands with the inputs of a good call.
struct ModelQuery {
  const char* command;
  std::function<Args(const regtest::ModelFacts&, const std::string& model)> args;
};
const ModelQuery kModelQueries[] = {
    {"get_autoinheritance_info",
     [](auto& f, const std::string& m) {
       return Args{"get_autoinheritance_info", m, 1.0, f.autoinheritance[0]};
     }},
    {"get_third_party_uses_info",
     [](auto& f, const std::string& m) {
       return Args{"get_third_party_uses_info", m, 1.0, f.identifiers[0]};
     }},
    {"get_updateBuildInfo_args_info",
     [](auto& f, const std::string& m) {
       return Args{"get_updateBuildInfo_args_info", m, 1.0, f.identifiers[0]};
     }},
    {"get_eml_resolved_functions_info",
     [](auto&, const std::string& m) {
       return Args{"get_eml_resolved_functions_info", m, 1.0};
     }},
};

void PrintTo(const DeclineCase& c, std::ostream* os) {
  *os << c.what;
}

class DeclineTest : public ::testing::TestWithParam<std::tuple<std::string, DeclineCase>> {};

TEST_P(DeclineTest, EndsWithUnsuccessfulCommand) {
  const auto& [label, c] = GetParam();
  const Target& t = target_of(label);
  EXPECT_EQ(failure(t, c.args(regtest::facts_of(t.model))), "Unsuccessful command.");
}

INSTANTIATE_TEST_SUITE_P(Commands, DeclineTest,
                         ::testing::Combine(::testing::ValuesIn(target_labels()),
                                            ::testing::ValuesIn(kDeclines)),
                         [](const auto& info) {
                           return std::get<0>(info.param) + "_" + std::get<1>(info.param).what;
                         });

class ModelQueryTest : public ::testing::TestWithParam<std::tuple<std::string, int>> {
 protected:
  const Target& t() const { return target_of(std::get<0>(GetParam())); }
  const regtest::ModelFacts& f() const { return regtest::facts_of(t().model); }
  const ModelQuery& q() const { return kModelQueries[std::get<1>(GetParam())]; }
};

TEST_P(ModelQueryTest, OwnModelNameIsAnswered) {
  Mx out = answer(t(), q().args(f(), f().name));
  ASSERT_NE(out, nullptr);
  EXPECT_FALSE(mxIsDouble(out.get()) && mxIsEmpty(out.get())) << "an empty answer";
}

TEST_P(ModelQueryTest, OtherModelNamesAreNotThisPluginsCall) {
  for (const std::string& name : {other_model(f()), lower(f().name), std::string(f().name) + " ",
                                  std::string(""), std::string(f().name) + std::string(130, 'x')}) {
    EXPECT_EQ(failure(t(), q().args(f(), name)), "Unsuccessful command.") << '"' << name << '"';
  }
}

TEST_P(ModelQueryTest, MissingOrNonTextInputsAreNotTaken) {
  Args good = q().args(f(), f().name);
  Args missing(good.begin(), good.end() - 1);
  EXPECT_EQ(failure(t(), missing), "Unsuccessful command.");
  Args number_model = good;
  number_model[1] = 1.0;
  EXPECT_EQ(failure(t(), number_model), "Unsuccessful command.");
  Args cut_command = good;
  cut_command[0] = std::get<std::string>(good[0]) + std::string(64, '_');
  EXPECT_EQ(failure(t(), cut_command), "Unsuccessful command.");
  Args case_command = good;
  case_command[0] = lower(std::get<std::string>(good[0])) + "S";
  EXPECT_EQ(failure(t(), case_command), "Unsuccessful command.");
}

INSTANTIATE_TEST_SUITE_P(Commands, ModelQueryTest,
                         ::testing::Combine(::testing::ValuesIn(target_labels()),
                                            ::testing::Range(0, 4)),
                         [](const auto& info) {
                           return std::get<0>(info.param) + "_" +
                                  kModelQueries[std::get<1>(info.param)].command;
                         });

// ---------------------------------------------------------------------------------
// Which chart answers

class ChartQueryTest : public ::testing::TestWithParam<std::string> {
 protected:
  const Target& t() const { return target_of(GetParam()); }
  const regtest::ModelFacts& f() const { return regtest::facts_of(t().model); }
};

void expect_autoinheritance_record(const mxArray* a, const std::string& checksum, int n) {
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(mxIsStruct(a));
  EXPECT_EQ(regtest::str(mxGetField_700(a, 0, "checksum")), checksum);
  const mxArray* inputs = mxGetField_700(a, 0, "inputs");
  ASSERT_NE(inputs, nullptr);
  EXPECT_EQ(regtest::doubles(mxGetField_700(inputs, 0, "size")), (regtest::Words{double(n), 1}));
}

TEST_P(ChartQueryTest, AutoinheritanceComparesOnlyTheNamedChart) {
  for (int n = 1; n <= f().charts; ++n) {
    for (int k = 1; k <= f().charts; ++k) {
      SCOPED_TRACE("chart " + std::to_string(n) + ", checksum of chart " + std::to_string(k));
      Mx out = answer(
          t(), {"get_autoinheritance_info", f().name, double(n), f().autoinheritance[k - 1]});
      if (n == k)
        expect_autoinheritance_record(out.get(), f().autoinheritance[k - 1],
                                      f().table_lengths[n - 1]);
      else
        regtest::expect_empty_answer(out.get());
    }
  }
}

TEST_P(ChartQueryTest, AutoinheritanceOfNoChartOrNoTextIsEmpty) {
  const std::string own = f().autoinheritance[0];
  for (double n : {0.0, double(f().charts + 1), -1.0, kNaN, kInf, 1e300})
    regtest::expect_empty_answer(answer(t(), {"get_autoinheritance_info", f().name, n, own}).get());
  regtest::expect_empty_answer(answer(t(), {"get_autoinheritance_info", f().name, 1.0, 5.0}).get());
  regtest::expect_empty_answer(
      answer(t(), {"get_autoinheritance_info", f().name, 1.0, own + std::string(60, 'x')}).get());
  expect_autoinheritance_record(
      answer(t(), {"get_autoinheritance_info", f().name, 1.9, own, "ignored"}).get(), own,
      f().table_lengths[0]);
}

TEST_P(ChartQueryTest, UsesAndBuildInfoSearchFromTheNamedChartOnward) {
  for (const char* command : {"get_third_party_uses_info", "get_updateBuildInfo_args_info"}) {
    for (int n = 1; n <= f().charts; ++n) {
      for (int k = 1; k <= f().charts; ++k) {
        SCOPED_TRACE(std::string(command) + " chart " + std::to_string(n) + ", identifier of " +
                     std::to_string(k));
        Mx out = answer(t(), {command, f().name, double(n), f().identifiers[k - 1]});
        if (k >= n) {
          ASSERT_NE(out, nullptr);
          EXPECT_TRUE(mxIsCell(out.get()));
          EXPECT_EQ(mxGetM(out.get()), 1u);
          EXPECT_EQ(mxGetN(out.get()), 0u);
        } else {
          regtest::expect_empty_answer(out.get());
        }
      }
    }
    const std::string own = f().identifiers[0];
    for (double n : {0.0, double(f().charts + 1), kNaN, -kInf})
      regtest::expect_empty_answer(answer(t(), {command, f().name, n, own}).get());
    regtest::expect_empty_answer(answer(t(), {command, f().name, 1.0, 3.0}).get());
    regtest::expect_empty_answer(answer(t(), {command, f().name, 1.0, "unknown"}).get());
    regtest::expect_empty_answer(
        answer(t(), {command, f().name, 1.0, own + std::string(60, 'x')}).get());
  }
}

TEST_P(ChartQueryTest, ResolvedFunctionsOfNoChartIsEmpty) {
  for (double n : {0.0, double(f().charts + 1), kNaN, -1.0})
    regtest::expect_empty_answer(
        answer(t(), {"get_eml_resolved_functions_info", f().name, n}).get());
}

// ---------------------------------------------------------------------------------
// sf_mex_unlock

TEST_P(ChartQueryTest, UnlockReleasesEveryLock) {
  for (int locks : {0, 1, 2}) {
    SCOPED_TRACE(std::to_string(locks) + " locks");
    {
      host::mex::CallContext ctx(t().plugin);
      for (int i = 0; i < locks; ++i)
        mexLock();
      ctx.close(nullptr, 0);
    }
    ASSERT_EQ(host::mex::lock_count(t().plugin), locks);
    Inputs in({"sf_mex_unlock"});
    const std::size_t before = host::mx::live_count();
    Mx out;
    {
      host::mex::CallContext ctx(t().plugin);
      out = t().call(in.raw);
      ctx.close(nullptr, 0);
    }
    EXPECT_EQ(out, nullptr) << "the unlock command writes no output";
    EXPECT_EQ(host::mex::lock_count(t().plugin), 0);
    EXPECT_EQ(host::mx::live_count(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, ChartQueryTest, ::testing::ValuesIn(target_labels()));

// Both plug-ins in one process, each answering a call that asks for no output with
// its own model's words.
TEST(Plugins, ZeroOutputCallsAnswerSideBySide) {
  for (const char* model : {"Harnvale", "Quimbrel", "Harnvale"}) {
    Mx command = regtest::text("sf_get_check_sum");
    const std::size_t before = host::mx::live_count();
    auto out = plugin(model).call_matlab(0, {command.get()});
    ASSERT_EQ(out.size(), 1u);
    expect_words(out[0].get(), regtest::facts_of(model).none);
    out.clear();
    EXPECT_EQ(host::mx::live_count(), before);
  }
}

}  // namespace
