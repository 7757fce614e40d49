// The interpolation kernel of every chart: results bit for bit against the
// independent reference, raises, and the exact order of the host's index checks
// phase by phase.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/charts/chart_fixture.hpp"

namespace chart_test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// What the kernel should do for one table and query.
struct Expected {
  double value = 0.0;
  bool raised = false;                   // a raise ended the call ("error" raising)
  std::vector<std::string> identifiers;  // raises in order
  std::vector<int> checked;              // indices checked, in order
};

// The probes of the bisection of 1..n (low = 1, high = n, mid the floor of the
// mean) where `right(mid)` says the query lies at or beyond X(mid); the final low.
template <class Right>
int bisect(int n, std::vector<int>& probes, Right right) {
  int low = 1, high = n;
  while (high - low > 1) {
    const int mid = (low + high) / 2;
    probes.push_back(mid);
    (right(mid) ? low : high) = mid;
  }
  return low;
}

// The kernel's phases as documented, each with the indices it checks: the NaN scan
// up to the first NaN, the reversal of a descending table (X, then Y), the pairs of
// the monotonicity scan, the search, the four reads of the interpolation. The value
// is the independent reference's; only a table that failed the monotonicity scan
// with "error" returning (no interval defined) is evaluated on the interval that
// the search on its current order ends in.
Expected evaluate(std::vector<double> X, std::vector<double> Y, double u, bool extrapolate,
                  bool error_returns) {
  const int n = static_cast<int>(X.size());
  Expected e;
  auto raise = [&](const char* id) {
    e.identifiers.push_back(id);
    e.raised = !error_returns;
    return e.raised;
  };
  const auto first_nan = std::find_if(X.begin(), X.end(), [](double v) { return std::isnan(v); });
  for (int k = 1; k <= std::min<int>(n, static_cast<int>(first_nan - X.begin()) + 1); ++k)
    e.checked.push_back(k);
  if (first_nan != X.end()) {
    raise("MATLAB:interp1:NaNinX");
    e.value = extrapolate ? 0.0 : kNaN;
    return e;
  }
  if (X[1] < X[0]) {
    for (int table = 0; table < 2; ++table)
      for (int j = 1; j <= n / 2; ++j)
        e.checked.insert(e.checked.end(), {j, j, n + 1 - j, n + 1 - j});
    std::reverse(X.begin(), X.end());
    std::reverse(Y.begin(), Y.end());
  }
  bool increasing = true;
  for (int k = 2; k <= n; ++k) {
    e.checked.insert(e.checked.end(), {k, k - 1});
    if (!(X[k - 1] > X[k - 2])) {
      increasing = false;
      if (raise("Coder:toolbox:interp1_nonMonotonicX")) return e;
    }
  }
  const bool inside = u >= X[0] && u <= X[n - 1];  // false for NaN
  if (!inside || increasing) e.value = test_support::interpolate_oriented(X, Y, u, extrapolate);
  if (!inside) return e;
  const int low = increasing ? bisect(n, e.checked,
                                      [k = static_cast<int>(test_support::interval_of(X, u)) +
                                           1](int mid) { return mid <= k; })
                             : bisect(n, e.checked, [&](int mid) { return u >= X[mid - 1]; });
  e.checked.insert(e.checked.end(), {low, low + 1, low, low + 1});
  if (!increasing) e.value = test_support::on_interval(X, Y, low - 1, u);
  return e;
}

// Tables of length n.
struct Table {
  std::vector<double> x, y;
};

Table ascending(std::mt19937_64& rng, int n) {
  std::uniform_real_distribution<double> step(1e-3, 5.0);
  std::uniform_real_distribution<double> value(-1e3, 1e3);
  std::uniform_real_distribution<double> start(-500.0, 500.0);
  Table t{std::vector<double>(n), std::vector<double>(n)};
  double at = start(rng);
  for (int i = 0; i < n; ++i) {
    t.x[i] = at;
    at += step(rng);
    t.y[i] = value(rng);
  }
  return t;
}

std::vector<double> queries(std::mt19937_64& rng, const Table& t) {
  const int n = static_cast<int>(t.x.size());
  const double lo = std::min(t.x.front(), t.x.back());
  const double hi = std::max(t.x.front(), t.x.back());
  std::uniform_real_distribution<double> inside(lo, hi);
  std::uniform_int_distribution<int> index(0, n - 1);
  std::vector<double> q = {t.x.front(),
                           t.x.back(),
                           t.x[1],
                           t.x[n - 2],
                           t.x[index(rng)],
                           t.x[index(rng)],
                           lo - 3.5,
                           hi + 7.25,
                           lo - 1e-9,
                           hi + 1e-9,
                           kNaN,
                           -kInf,
                           kInf};
  for (int i = 0; i < 12; ++i)
    q.push_back(inside(rng));
  return q;
}

template <class Chart>
class KernelTest : public ChartTest<Chart> {
 protected:
  static constexpr int N = Chart::N;

  // Runs the kernel on copies and compares with the evaluation; with `checks`,
  // also the indices checked and the identifiers raised, in order.
  void check(const Table& t, double u, const std::string& what, bool checks = false) {
    const Expected e = evaluate(t.x, t.y, u, extrapolates<Chart>(), host::mex::error_returns());
    std::vector<double> X = t.x, Y = t.y;
    double got = 0.0;
    bool raised = false;
    std::string identifier;
    std::vector<host::trace::Call> calls;
    {
      host::mex::CallContext call(this);  // the raise's arrays end with the call
      std::unique_ptr<host::trace::Collector> rec;
      if (checks) rec = std::make_unique<host::trace::Collector>();
      try {
        got = Chart::table_interpolate(inst_, Y.data(), u, X.data());
      } catch (const host::HostError& err) {
        raised = true;
        identifier = err.identifier;
      }
      if (rec) calls = rec->calls();
    }
    if (checks) {
      std::vector<host::trace::Call> index_checks;
      std::vector<std::string> raises;
      for (const auto& c : calls) {
        if (is_check(c)) index_checks.push_back(c);
        if (c.op == "sf_mex_create") raises.push_back(c.args.back());
      }
      EXPECT_EQ(recorded_indices(index_checks), e.checked) << what << " u=" << u;
      std::vector<std::string> expected_raises;
      for (const auto& id : e.identifiers)
        expected_raises.push_back("1x" + std::to_string(id.size()));
      EXPECT_EQ(raises, expected_raises) << what << " u=" << u;
    }
    ASSERT_EQ(raised, e.raised) << what << " u=" << u;
    if (raised) {
      EXPECT_EQ(identifier, e.identifiers.back()) << what;
      return;
    }
    EXPECT_TRUE(same_bits(e.value, got)) << what << " u=" << u;
  }

  // The indices the kernel checked, read from the recorder, with the pairing of
  // integer and bounds checks verified on the way.
  std::vector<int> recorded_indices(const std::vector<host::trace::Call>& calls) {
    std::vector<int> out;
    const host::trace::Call* pending = nullptr;
    for (const auto& c : calls) {
      if (c.op == "sf_debug_integer_check") {
        EXPECT_EQ(pending, nullptr) << "two integer checks in a row";
        pending = &c;
      } else if (c.op == "sf_debug_eml_data_array_bounds_error_check") {
        EXPECT_NE(pending, nullptr) << "bounds check without integer check";
        if (pending == nullptr) continue;
        const int k = std::stoi(pending->args.at(5));
        EXPECT_EQ(c.args.at(4), "\"\"");
        EXPECT_EQ(std::stoi(c.args.at(5)), k);
        EXPECT_EQ(c.args.at(6), "1");
        EXPECT_EQ(c.args.at(7), std::to_string(N));
        EXPECT_EQ(c.args.at(8), "1");
        EXPECT_EQ(c.args.at(9), "0");
        out.push_back(k);
        pending = nullptr;
      }
    }
    return out;
  }

  void SetUp() override {
    ChartTest<Chart>::SetUp();
    Block& b = this->started_block();
    inst_ = b.instance();
  }

  ChartInstance* inst_ = nullptr;
};

TYPED_TEST_SUITE(KernelTest, AllCharts);

TYPED_TEST(KernelTest, GeneratedTablesBitExact) {
  constexpr int N = TypeParam::N;
  std::mt19937_64 rng(4242 + N);
  for (int round = 0; round < 6; ++round) {
    Table t = ascending(rng, N);
    const std::string what = "round " + std::to_string(round);
    for (double u : queries(rng, t))
      this->check(t, u, what);
    // The same table given descending: reversed, same answers.
    Table d{std::vector<double>(t.x.rbegin(), t.x.rend()),
            std::vector<double>(t.y.rbegin(), t.y.rend())};
    for (double u : queries(rng, t))
      this->check(d, u, what + " descending");
  }
}

TYPED_TEST(KernelTest, EdgeValuesOfTheDocumentedCases) {
  constexpr int N = TypeParam::N;
  std::mt19937_64 rng(7 + N);
  Table t = ascending(rng, N);
  // On breakpoints the interval to the right is used: Y(k) exactly.
  std::vector<double> X = t.x, Y = t.y;
  EXPECT_TRUE(
      same_bits(TypeParam::table_interpolate(this->inst_, Y.data(), t.x[5], X.data()), t.y[5]));
  X = t.x, Y = t.y;
  EXPECT_TRUE(
      same_bits(TypeParam::table_interpolate(this->inst_, Y.data(), t.x[0], X.data()), t.y[0]));
  X = t.x, Y = t.y;
  EXPECT_TRUE(same_bits(TypeParam::table_interpolate(this->inst_, Y.data(), t.x[N - 1], X.data()),
                        t.y[N - 1]));
  // Equal neighbours give that value untouched, even where the weights would round.
  Table eq = t;
  eq.y[10] = eq.y[11] = 0.1;
  X = eq.x, Y = eq.y;
  const double u = eq.x[10] + (eq.x[11] - eq.x[10]) / 3.0;
  EXPECT_TRUE(same_bits(TypeParam::table_interpolate(this->inst_, Y.data(), u, X.data()), 0.1));
  // Outside the table: the line through the two outer points, or NaN.
  X = t.x, Y = t.y;
  const double above =
      TypeParam::table_interpolate(this->inst_, Y.data(), t.x[N - 1] + 2.0, X.data());
  if (extrapolates<TypeParam>()) {
    const double r = 2.0 / (t.x[N - 1] - t.x[N - 2]);
    EXPECT_DOUBLE_EQ(above, t.y[N - 1] + (t.y[N - 1] - t.y[N - 2]) * r);
  } else {
    EXPECT_TRUE(std::isnan(above));
  }
  // NaN query: NaN, no raise.
  X = t.x, Y = t.y;
  EXPECT_TRUE(std::isnan(TypeParam::table_interpolate(this->inst_, Y.data(), kNaN, X.data())));
}

TYPED_TEST(KernelTest, NaNAndInfinityInValuesFlowThrough) {
  constexpr int N = TypeParam::N;
  std::mt19937_64 rng(99 + N);
  Table t = ascending(rng, N);
  t.y[3] = kNaN;
  t.y[4] = kNaN;
  t.y[20] = kInf;
  t.y[21] = kInf;
  t.y[30] = -kInf;
  t.y[N - 1] = kInf;
  for (int i : {2, 3, 4, 19, 20, 21, 29, 30, N - 2}) {
    this->check(t, t.x[i], "breakpoint " + std::to_string(i));
    this->check(t, 0.5 * (t.x[i] + t.x[i + 1]), "between " + std::to_string(i));
  }
  this->check(t, t.x[N - 1] + 1.0, "above");
  this->check(t, t.x[0] - 1.0, "below");
}

// Each row of the failure table, with "error" raising and with it returning.
TYPED_TEST(KernelTest, FailureTable) {
  constexpr int N = TypeParam::N;
  std::mt19937_64 rng(11 + N);
  const Table good = ascending(rng, N);
  for (bool returns : {false, true}) {
    host::mex::set_error_returns(returns);
    const std::string mode = returns ? " (error returns)" : " (error raises)";
    Table nan_first = good, nan_late = good, nan_two = good;
    nan_first.x[0] = kNaN;
    nan_late.x[N - 1] = kNaN;
    nan_two.x[7] = kNaN;
    nan_two.x[9] = kNaN;
    // Descending start, then broken: reversed, then refused.
    Table broken = good;
    std::reverse(broken.x.begin(), broken.x.end());
    std::reverse(broken.y.begin(), broken.y.end());
    broken.x[N / 2] = broken.x[N / 2 + 1];
    // Descending start, ascending end: reversed, then refused; outside the table
    // (error returning) the ends of the reversed order give the line.
    Table turned = good;
    std::reverse(turned.x.begin(), turned.x.end());
    std::reverse(turned.y.begin(), turned.y.end());
    std::swap(turned.x[N - 1], turned.x[N - 2]);
    Table repeated = good;
    repeated.x[N - 1] = repeated.x[N - 2];
    Table two_pairs = good;
    std::swap(two_pairs.x[4], two_pairs.x[5]);
    two_pairs.x[N - 3] = two_pairs.x[N - 4];
    for (const auto& [table, name] :
         std::vector<std::pair<Table, std::string>>{{nan_first, "NaN first"},
                                                    {nan_late, "NaN last"},
                                                    {nan_two, "two NaN"},
                                                    {broken, "descending then repeated"},
                                                    {turned, "descending start, ascending end"},
                                                    {repeated, "repeated end"},
                                                    {two_pairs, "two failing pairs"}}) {
      for (double u : {good.x[3], good.x[N / 2] + 0.25, good.x[0] - 1.0, good.x[N - 1] + 1.0})
        this->check(table, u, name + mode, true);
    }
  }
}

TYPED_TEST(KernelTest, RaisesAreMadeThroughMessageAndError) {
  constexpr int N = TypeParam::N;
  std::mt19937_64 rng(5 + N);
  Table t = ascending(rng, N);
  std::swap(t.x[1], t.x[2]);
  t.x[N - 1] = t.x[N - 2];
  host::mex::set_error_returns(true);
  std::vector<double> X = t.x, Y = t.y;
  host::trace::Collector rec;
  {
    host::mex::CallContext call(this);
    TypeParam::table_interpolate(this->inst_, Y.data(), t.x[N / 2], X.data());
  }
  const auto calls = only(rec.calls(), {"sf_mex_create", "sf_mex_assign", "sf_mex_call_debug"});
  ASSERT_EQ(calls.size(), 8u);  // two failing pairs, four calls each
  for (int i = 0; i < 2; ++i) {
    const auto& create = calls[4 * i];
    EXPECT_EQ(create.op, "sf_mex_create");
    EXPECT_EQ(create.args.at(0), "\"y\"");
    EXPECT_EQ(create.args.at(1), "10");
    EXPECT_EQ(create.args.back(), "1x35");
    EXPECT_EQ(calls[4 * i + 1].op, "sf_mex_assign");
    // The function name, then the output and input counts.
    auto after_name = [](const host::trace::Call& c, const char* name) {
      const auto at = std::find(c.args.begin(), c.args.end(), std::string("\"") + name + "\"");
      EXPECT_NE(at, c.args.end()) << c.line();
      return at == c.args.end() || at + 2 >= c.args.end() ? std::string()
                                                          : *(at + 1) + " " + *(at + 2);
    };
    EXPECT_EQ(after_name(calls[4 * i + 2], "message"), "1 1");
    EXPECT_EQ(after_name(calls[4 * i + 3], "error"), "0 1");
  }
}

// The NaN-in-X raise: a 1x21 character value, "message" on it, "error" on the message.
TYPED_TEST(KernelTest, NaNRaiseIsMadeThroughMessageAndError) {
  constexpr int N = TypeParam::N;
  std::mt19937_64 rng(17 + N);
  Table t = ascending(rng, N);
  t.x[N / 2] = kNaN;
  host::mex::set_error_returns(true);
  std::vector<double> X = t.x, Y = t.y;
  host::trace::Collector rec;
  double got = 0.0;
  {
    host::mex::CallContext call(this);
    got = TypeParam::table_interpolate(this->inst_, Y.data(), t.x[3], X.data());
  }
  std::vector<std::string> lines;
  for (const auto& c : only(rec.calls(), {"sf_mex_create", "sf_mex_assign", "sf_mex_call_debug"}))
    lines.push_back(c.line());
  const std::string dbg = only(rec.calls(), {"sf_mex_call_debug"}).empty()
                              ? std::string()
                              : only(rec.calls(), {"sf_mex_call_debug"})[0].args.at(0);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "sf_mex_create \"y\" 10 0 1 0 2 1x21",
                       "sf_mex_assign nothing char[1x21] 0",
                       "sf_mex_call_debug " + dbg + " \"message\" 1 1 [char[1x21]]",
                       "sf_mex_call_debug " + dbg + " \"error\" 0 1 [struct[1x1]]",
                   }));
  // The table was never reversed or searched: the preset comes back.
  if (extrapolates<TypeParam>()) {
    EXPECT_TRUE(same_bits(got, 0.0));
  } else {
    EXPECT_TRUE(std::isnan(got));
  }
}

// The host's index checks: how many, in which order, per phase.
TYPED_TEST(KernelTest, CheckCallsPerPhase) {
  constexpr int N = TypeParam::N;
  std::mt19937_64 rng(3 + N);
  Table t = ascending(rng, N);
  const double u = 0.5 * (t.x[N / 3] + t.x[N / 3 + 1]);
  for (bool descending : {false, true}) {
    Table in = t;
    if (descending) {
      std::reverse(in.x.begin(), in.x.end());
      std::reverse(in.y.begin(), in.y.end());
    }
    std::vector<double> X = in.x, Y = in.y;
    host::trace::Collector rec;
    TypeParam::table_interpolate(this->inst_, Y.data(), u, X.data());
    std::vector<host::trace::Call> checks;
    for (const auto& c : rec.calls())
      if (is_check(c)) checks.push_back(c);
    const Expected e = evaluate(in.x, in.y, u, extrapolates<TypeParam>(), false);
    const std::vector<int> got = this->recorded_indices(checks);
    EXPECT_EQ(got, e.checked);
    // The phases by count: NaN scan 2N, reversal 8 (N div 2) per table,
    // monotonicity 4 (N - 1), interpolation 8, the search in between.
    const std::size_t fixed = 2u * N + 4u * (N - 1) + 8u + (descending ? 16u * (N / 2) : 0u);
    ASSERT_GT(checks.size(), fixed);
    const std::size_t search = checks.size() - fixed;
    EXPECT_EQ(search % 2, 0u);
    EXPECT_LE(search / 2, static_cast<std::size_t>(std::ceil(std::log2(N))));
    EXPECT_GE(search / 2, static_cast<std::size_t>(std::floor(std::log2(N - 1))));
    // Every check was made with this block's numbers.
    for (const auto& c : checks) {
      EXPECT_EQ(c.args.at(2), std::to_string(this->inst_->chart_number));
      EXPECT_EQ(c.args.at(3), std::to_string(this->inst_->instance_number));
    }
  }
}

TYPED_TEST(KernelTest, ReversalKeepsTheMiddleOfOddTables) {
  constexpr int N = TypeParam::N;
  std::vector<double> T(N);
  for (int i = 0; i < N; ++i)
    T[i] = i + 1;
  TypeParam::reverse_table(this->inst_, T.data());
  for (int i = 0; i < N; ++i)
    ASSERT_EQ(T[i], N - i);
  if (N % 2 == 1) {
    EXPECT_EQ(T[N / 2], N / 2 + 1);
  }
}

TYPED_TEST(KernelTest, CheckedIndexUsesTheReturnedIndex) {
  constexpr int N = TypeParam::N;
  host::trace::Collector rec;
  EXPECT_EQ(TypeParam::checked_index(this->inst_, 1), 1);
  EXPECT_EQ(TypeParam::checked_index(this->inst_, N), N);
  ASSERT_EQ(rec.calls().size(), 4u);
  EXPECT_EQ(rec.calls()[0].op, "sf_debug_integer_check");
  EXPECT_EQ(rec.calls()[1].op, "sf_debug_eml_data_array_bounds_error_check");
  // An index outside the table is the host's to report.
  EXPECT_THROW(TypeParam::checked_index(this->inst_, N + 1), host::HostError);
  EXPECT_THROW(TypeParam::checked_index(this->inst_, 0), host::HostError);
}

}  // namespace
}  // namespace chart_test
