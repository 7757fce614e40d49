#include "tools/sfsim/matfile.hpp"

#include <matio.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "host/mex_host.hpp"
#include "host/mx_classes.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile_check.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim::mat {
namespace {

// matio reports its faults through a log function; the last one is kept for the
// message of the error it leads to, instead of going to standard error.
std::string& last_log() {
  static std::string text;
  return text;
}

void keep_log(int level, char* message) {
  if (level <= 2 && message != nullptr) last_log() = message;  // errors and critical faults
}

void init_log() {
  static const bool done = [] {
    Mat_LogInitFunc("sfsim", keep_log);
    return true;
  }();
  (void)done;
}

struct MatClose {
  void operator()(mat_t* m) const { Mat_Close(m); }
};
struct VarFree {
  void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using MatPtr = std::unique_ptr<mat_t, MatClose>;
using VarPtr = std::unique_ptr<matvar_t, VarFree>;

// The numeric classes as matio stores them; the element sizes and the names come
// from the shared class table.
struct ClassPair {
  matio_classes mat;
  matio_types type;
  mxClassID host;
  std::size_t bytes() const { return host::mx_classes::element_size(host); }
};
constexpr ClassPair kNumeric[] = {
    {MAT_C_DOUBLE, MAT_T_DOUBLE, mxDOUBLE_CLASS}, {MAT_C_SINGLE, MAT_T_SINGLE, mxSINGLE_CLASS},
    {MAT_C_INT8, MAT_T_INT8, mxINT8_CLASS},       {MAT_C_UINT8, MAT_T_UINT8, mxUINT8_CLASS},
    {MAT_C_INT16, MAT_T_INT16, mxINT16_CLASS},    {MAT_C_UINT16, MAT_T_UINT16, mxUINT16_CLASS},
    {MAT_C_INT32, MAT_T_INT32, mxINT32_CLASS},    {MAT_C_UINT32, MAT_T_UINT32, mxUINT32_CLASS},
    {MAT_C_INT64, MAT_T_INT64, mxINT64_CLASS},    {MAT_C_UINT64, MAT_T_UINT64, mxUINT64_CLASS}};

constexpr bool covers_numeric_classes() {
  std::size_t numeric = 0;
  for (const host::mx_classes::ClassInfo& c : host::mx_classes::kClasses)
    numeric += c.numeric ? 1 : 0;
  for (const ClassPair& p : kNumeric)
    if (!host::mx_classes::is_numeric(p.host)) return false;
  return numeric == std::size(kNumeric);
}
static_assert(covers_numeric_classes(), "one matio pair per numeric class");

const ClassPair* numeric_of(matio_classes c) {
  for (const ClassPair& p : kNumeric)
    if (p.mat == c) return &p;
  return nullptr;
}

const char* class_text(matio_classes c) {
  if (const ClassPair* p = numeric_of(c)) return host::mx_classes::class_name(p->host);
  switch (c) {
    case MAT_C_CELL:
      return "cell";
    case MAT_C_STRUCT:
      return "struct";
    case MAT_C_OBJECT:
      return "object";
    case MAT_C_CHAR:
      return "char";
    case MAT_C_SPARSE:
      return "sparse";
    case MAT_C_FUNCTION:
      return "function";
    case MAT_C_OPAQUE:
      return "opaque";
    default:
      return "unknown";
  }
}

// "complex double 3x1", "sparse 4x4", "logical 1x1".
std::string describe(const matvar_t* v) {
  std::string s = v->isComplex ? "complex " : "";
  s += v->isLogical ? "logical" : class_text(v->class_type);
  for (int d = 0; d < v->rank; ++d)
    s += (d == 0 ? " " : "x") + std::to_string(v->dims[d]);
  return s;
}

std::size_t element_count(const matvar_t* v) {
  std::size_t n = 1;
  for (int d = 0; d < v->rank; ++d)
    n *= v->dims[d];
  return n;
}

MatPtr open_for_reading(const std::string& path) {
  init_log();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) fail(path, "no such file");
  if (std::filesystem::is_directory(path, ec)) fail(path, "is a folder, not a MAT-file");
  detail::check_file(path);
  last_log().clear();
  MatPtr mat(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
  if (!mat) fail(path, "not a MAT-file, or truncated or corrupt");
  if (Mat_GetVersion(mat.get()) != MAT_FT_MAT5) {
    fail(path, "only MAT-files of version 5 (save -v6 or -v7) are read");
  }
  return mat;
}

// The whole variable of that name; UserError when the file has none or it cannot
// be read in full.
VarPtr read_variable(mat_t* mat, const std::string& path, const std::string& name) {
  last_log().clear();
  std::size_t count = 0;
  char* const* names = Mat_GetDir(mat, &count);
  const bool listed = names != nullptr || last_log().empty();
  bool found = false;
  std::string known;
  for (std::size_t i = 0; names != nullptr && i < count; ++i) {
    if (names[i] == nullptr) continue;
    if (name == names[i]) found = true;
    known += (known.empty() ? "" : ", ") + std::string(names[i]);
  }
  if (!listed) fail(path, "truncated or corrupt MAT-file (" + last_log() + ")");
  if (!found) {
    fail_variable(path, name,
                  "no such variable in the file" +
                      (known.empty() ? std::string(" (it has none)") : " (it has " + known + ")"));
  }
  last_log().clear();
  VarPtr v(Mat_VarRead(mat, name.c_str()));
  if (!v || !last_log().empty()) {
    fail_variable(path, name,
                  "cannot be read: the file is truncated or corrupt" +
                      (last_log().empty() ? std::string() : " (" + last_log() + ")"));
  }
  return v;
}

[[noreturn]] void corrupt(const std::string& path, const std::string& where) {
  fail_variable(path, where, "cannot be read: the file is truncated or corrupt");
}

void require_real_full(const matvar_t* v, const std::string& path, const std::string& name) {
  if (v->class_type == MAT_C_SPARSE) fail_variable(path, name, "a sparse matrix is not accepted");
  if (v->isComplex) fail_variable(path, name, "complex values are not accepted");
}

std::vector<double> double_vector(const matvar_t* v, const std::string& path,
                                  const std::string& name) {
  require_real_full(v, path, name);
  if (v->class_type != MAT_C_DOUBLE || v->isLogical) {
    fail_variable(path, name, "expected a real double vector, got " + describe(v));
  }
  const std::size_t n = element_count(v);
  if (v->rank != 2 || (v->dims[0] != 1 && v->dims[1] != 1 && n != 0)) {
    fail_variable(path, name, "expected a vector, got " + describe(v));
  }
  if (n > 0 && (v->data == nullptr || v->data_type != MAT_T_DOUBLE)) {
    fail_variable(path, name, "its data cannot be read as doubles");
  }
  const double* p = static_cast<const double*>(v->data);
  return std::vector<double>(p, p + n);
}

// ---------------------------------------------------------------------------
// Host values from MAT variables and back.

host::engine::MxPtr to_host(const matvar_t* v, const std::string& path, const std::string& where);

int host_size(std::size_t n, const std::string& path, const std::string& where) {
  if (n > 0x7fffffff) fail_variable(path, where, "too large");
  return static_cast<int>(n);
}

host::engine::MxPtr to_host(const matvar_t* v, const std::string& path, const std::string& where) {
  require_real_full(v, path, where);
  if (v->rank != 2) fail_variable(path, where, "only 2-D values are accepted, got " + describe(v));
  const int m = host_size(v->dims[0], path, where), n = host_size(v->dims[1], path, where);
  const std::size_t count = element_count(v);
  if (v->isLogical) {
    if (count != 1 || v->data == nullptr || v->data_size != 1)
      fail_variable(path, where, "only a logical scalar is accepted, got " + describe(v));
    return host::engine::MxPtr(mxCreateLogicalScalar(*static_cast<const unsigned char*>(v->data)));
  }
  if (const ClassPair* p = numeric_of(v->class_type)) {
    if (count > 0 &&
        (v->data == nullptr || v->data_type != p->type || v->nbytes < count * p->bytes())) {
      fail_variable(path, where, "its data cannot be read as " + std::string(class_text(p->mat)));
    }
    host::engine::MxPtr a(mxCreateNumericMatrix_700(m, n, p->host, mxREAL));
    if (count > 0) std::memcpy(mxGetData(a.get()), v->data, count * p->bytes());
    return a;
  }
  switch (v->class_type) {
    case MAT_C_CHAR: {
      if (m > 1)
        fail_variable(path, where, "only a text of one row is accepted, got " + describe(v));
      if (count > 0 && (v->data == nullptr || v->data_size <= 0 ||
                        v->nbytes < count * static_cast<std::size_t>(v->data_size)))
        fail_variable(path, where, "its characters cannot be read");
      std::string text(count, '\0');
      for (std::size_t i = 0; i < count; ++i) {
        unsigned code = 0;
        if (v->data_type == MAT_T_UINT8 || v->data_type == MAT_T_UTF8 || v->data_type == MAT_T_INT8)
          code = static_cast<const unsigned char*>(v->data)[i];
        else if (v->data_type == MAT_T_UINT16 || v->data_type == MAT_T_UTF16)
          code = static_cast<const std::uint16_t*>(v->data)[i];
        else
          fail_variable(path, where, "its characters cannot be read");
        if (code > 255) fail_variable(path, where, "only 8-bit characters are accepted");
        text[i] = static_cast<char>(code);
      }
      return host::engine::MxPtr(
          mxCreateStringFromNChars_700(text.data(), static_cast<int>(count)));
    }
    case MAT_C_STRUCT: {
      const unsigned nfields = Mat_VarGetNumberOfFields(const_cast<matvar_t*>(v));
      char* const* names = Mat_VarGetStructFieldnames(v);
      if (nfields > 0 && (names == nullptr || (count > 0 && v->data == nullptr) ||
                          v->nbytes < count * nfields * sizeof(matvar_t*)))
        corrupt(path, where);
      std::vector<const char*> fields(names, names + nfields);
      for (const char* f : fields)
        if (f == nullptr) corrupt(path, where);
      host::engine::MxPtr a(
          mxCreateStructMatrix_700(m, n, static_cast<int>(nfields), fields.data()));
      for (std::size_t i = 0; i < count; ++i) {
        for (unsigned f = 0; f < nfields; ++f) {
          const matvar_t* field = Mat_VarGetStructFieldByIndex(const_cast<matvar_t*>(v), f, i);
          if (field == nullptr) corrupt(path, where);
          const std::string sub =
              where + (count == 1 ? "" : "(" + std::to_string(i + 1) + ")") + "." + fields[f];
          mxSetField_700(a.get(), static_cast<int>(i), fields[f],
                         to_host(field, path, sub).release());
        }
      }
      return a;
    }
    case MAT_C_CELL: {
      if (count > 0 && (v->data == nullptr || v->nbytes < count * sizeof(matvar_t*)))
        corrupt(path, where);
      host::engine::MxPtr a(mxCreateCellMatrix_700(m, n));
      for (std::size_t i = 0; i < count; ++i) {
        const matvar_t* cell = Mat_VarGetCell(const_cast<matvar_t*>(v), static_cast<int>(i));
        if (cell == nullptr) corrupt(path, where);
        mxSetCell_700(a.get(), static_cast<int>(i),
                      to_host(cell, path, where + "{" + std::to_string(i + 1) + "}").release());
      }
      return a;
    }
    default:
      fail_variable(path, where, "a " + describe(v) + " value is not accepted");
  }
}

// The host value of a variable. What the host refuses to make of it (an empty field
// name, a size it cannot hold) is a fault of the file.
host::engine::MxPtr host_value(const matvar_t* v, const std::string& path,
                               const std::string& name) {
  try {
    return to_host(v, path, name);
  } catch (const host::HostError& e) {
    fail_variable(path, name, std::string("cannot be read: ") + e.what());
  }
}

// Queries of a run from a vector read in full.
class VectorQueries : public Queries {
 public:
  explicit VectorQueries(std::vector<double> z) : z_(std::move(z)) {}
  bool next(double& z) override {
    if (at_ >= z_.size()) return false;
    z = z_[at_++];
    return true;
  }
  std::int64_t count() const override { return static_cast<std::int64_t>(z_.size()); }

 private:
  std::vector<double> z_;
  std::size_t at_ = 0;
};

}  // namespace

std::vector<double> read_vector(const std::string& path, const std::string& name) {
  MatPtr mat = open_for_reading(path);
  VarPtr v = read_variable(mat.get(), path, name);
  return double_vector(v.get(), path, name);
}

std::unique_ptr<Queries> read_queries(const std::string& path, const std::string& name) {
  std::vector<double> z = read_vector(path, name);
  if (z.empty()) fail_variable(path, name, "the variable holds no query");
  return std::make_unique<VectorQueries>(std::move(z));
}

tools::driver::Signal read_signal(const std::string& path) {
  std::vector<double> time = read_vector(path, "time"), z = read_vector(path, "z");
  if (time.empty()) fail_variable(path, "time", "the variable holds no point");
  if (z.size() != time.size()) {
    fail_variable(path, "z",
                  "has " + std::to_string(z.size()) + " elements, but 'time' has " +
                      std::to_string(time.size()));
  }
  if (const auto bad = tools::driver::Signal::first_bad_time(time)) {
    const std::size_t i = *bad;
    fail_variable(path, "time",
                  "element " + std::to_string(i + 1) + " is " + format_number(time[i]) +
                      (i > 0 ? " after " + format_number(time[i - 1]) : std::string()) +
                      ": times must be finite and increase strictly");
  }
  return tools::driver::Signal(std::move(time), std::move(z));
}

Table read_table(const std::string& path, const std::string& x_name, const std::string& y_name,
                 std::size_t rows, const std::string& what) {
  MatPtr mat = open_for_reading(path);
  Table t;
  for (auto [name, out] : {std::pair{&x_name, &t.x}, std::pair{&y_name, &t.y}}) {
    VarPtr v = read_variable(mat.get(), path, *name);
    *out = double_vector(v.get(), path, *name);
    if (out->size() != rows) {
      fail_variable(path, *name,
                    "has " + std::to_string(out->size()) + " elements, but " + what +
                        " needs exactly " + std::to_string(rows));
    }
  }
  return t;
}

host::engine::MxPtr read_value(const std::string& path, const std::string& name) {
  MatPtr mat = open_for_reading(path);
  VarPtr v = read_variable(mat.get(), path, name);
  return host_value(v.get(), path, name);
}

host::engine::MxPtr read_state(const std::string& path) {
  MatPtr mat = open_for_reading(path);
  VarPtr v = read_variable(mat.get(), path, kStateVariable);
  if (v->class_type != MAT_C_STRUCT || v->rank != 2 || element_count(v.get()) != 1) {
    fail_variable(path, kStateVariable,
                  "expected a saved state (a 1x1 struct), got " + describe(v.get()));
  }
  return host_value(v.get(), path, kStateVariable);
}

}  // namespace sfsim::mat
