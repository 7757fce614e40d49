#include "tools/sfsim/matfile.hpp"

#include <matio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

#include "host/mx_classes.hpp"
#include "tools/sfsim/inputs.hpp"

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

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw InputError(path + ": " + what);
}

[[noreturn]] void fail_variable(const std::string& path, const std::string& name,
                                const std::string& what) {
  fail(path, "variable '" + name + "': " + what);
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
const ClassPair* numeric_of(mxClassID c) {
  for (const ClassPair& p : kNumeric)
    if (p.host == c) return &p;
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

// How deep arrays may nest in a MAT-file (cells and structs in cells and structs),
// and how large one variable may be once inflated. matio reads nested arrays
// recursively: a file nested deep enough would overflow the stack.
constexpr int kMaxMatDepth = 32;
constexpr std::uint64_t kMaxMatVariableBytes = 256ull << 20;

// A MAT-file's 32-bit words in the file's byte order.
struct Words {
  bool swap;
  std::uint32_t at(const unsigned char* b) const {
    return swap ? (std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 |
                   std::uint32_t{b[2]} << 8 | b[3])
                : (std::uint32_t{b[3]} << 24 | std::uint32_t{b[2]} << 16 |
                   std::uint32_t{b[1]} << 8 | b[0]);
  }
};

// A compressed variable inflated, within kMaxMatVariableBytes.
std::vector<unsigned char> inflated(const std::string& path, const std::vector<unsigned char>& in) {
  std::vector<unsigned char> out;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) fail(path, "cannot inflate a compressed variable");
  z.next_in = const_cast<unsigned char*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    if (out.size() >= kMaxMatVariableBytes) {
      inflateEnd(&z);
      fail(path, "a compressed variable inflates to more than " +
                     std::to_string(kMaxMatVariableBytes >> 20) + " MiB");
    }
    const std::size_t had = out.size();
    out.resize(had + (1u << 16));
    z.next_out = out.data() + had;
    z.avail_out = 1u << 16;
    rc = inflate(&z, Z_NO_FLUSH);
    out.resize(had + (1u << 16) - z.avail_out);
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END) fail(path, "truncated or corrupt MAT-file: a compressed variable");
  return out;
}

// The arrays of one variable (an element of type matrix: a tag and its body) nest
// at most kMaxMatDepth deep, and every element lies within its parent. Walked
// without recursion: a sub-element of type matrix is an array within the array.
void check_nesting(const std::string& path, const Words& w, const std::vector<unsigned char>& e) {
  struct Range {
    std::size_t begin, end;
    int depth;
  };
  if (e.size() < 8 || w.at(e.data()) != 14) fail(path, "corrupt MAT-file: a variable is no array");
  std::vector<Range> todo{{8, std::min<std::size_t>(e.size(), 8 + w.at(e.data() + 4)), 1}};
  while (!todo.empty()) {
    const Range r = todo.back();
    todo.pop_back();
    if (r.depth > kMaxMatDepth) {
      fail(path, "arrays nested more than " + std::to_string(kMaxMatDepth) + " deep");
    }
    std::size_t at = r.begin;
    while (at + 8 <= r.end) {
      const std::uint32_t first = w.at(e.data() + at);
      if ((first >> 16) != 0) {  // a small element: type, size and data in 8 bytes
        at += 8;
        continue;
      }
      const std::uint64_t bytes = (std::uint64_t{w.at(e.data() + at + 4)} + 7) / 8 * 8;
      if (bytes > r.end - at - 8) fail(path, "corrupt MAT-file: an element overruns its array");
      if (first == 14)
        todo.push_back({at + 8, at + 8 + static_cast<std::size_t>(bytes), r.depth + 1});
      at += 8 + static_cast<std::size_t>(bytes);
    }
  }
}

// matio reads a variable cut short by the end of the file as far as it goes,
// without a word (a struct loses its fields, say). So before anything is read,
// the file's top-level elements are walked by their tags: each must lie within
// the file, the last must end where the file ends, and no array nests too deep.
void check_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[128];
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) {
    fail(path, "not a MAT-file, or truncated or corrupt");
  }
  const bool swap = header[126] == 'M' && header[127] == 'I';
  if (!swap && !(header[126] == 'I' && header[127] == 'M')) {
    fail(path, "not a MAT-file of version 5 (no byte-order mark)");
  }
  const Words w{swap};
  in.seekg(0, std::ios::end);
  const std::uint64_t size = static_cast<std::uint64_t>(in.tellg());
  std::uint64_t at = sizeof header;
  while (at < size) {
    unsigned char tag[8];
    in.seekg(static_cast<std::streamoff>(at));
    if (size - at < sizeof tag || !in.read(reinterpret_cast<char*>(tag), sizeof tag)) {
      fail(path, "truncated or corrupt MAT-file: a variable's header is cut short");
    }
    const std::uint32_t type = w.at(tag);
    std::uint64_t bytes = w.at(tag + 4);
    if (type != 15 /* compressed */) bytes = (bytes + 7) / 8 * 8;
    if (type != 14 /* matrix */ && type != 15) {
      fail(path, "corrupt MAT-file: an element of unknown type " + std::to_string(type) +
                     " at byte " + std::to_string(at));
    }
    if (bytes > size - at - sizeof tag) {
      fail(path, "truncated or corrupt MAT-file: a variable at byte " + std::to_string(at) +
                     " needs " + std::to_string(bytes) + " bytes, the file has " +
                     std::to_string(size - at - sizeof tag) + " more");
    }
    if (bytes > kMaxMatVariableBytes) {
      fail(path, "a variable of more than " + std::to_string(kMaxMatVariableBytes >> 20) +
                     " MiB at byte " + std::to_string(at));
    }
    std::vector<unsigned char> body(static_cast<std::size_t>(bytes));
    if (!in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(bytes))) {
      fail(path, "cannot read the variable at byte " + std::to_string(at));
    }
    if (type == 15) {
      check_nesting(path, w, inflated(path, body));
    } else {
      body.insert(body.begin(), tag, tag + sizeof tag);
      check_nesting(path, w, body);
    }
    at += sizeof tag + bytes;
  }
}

MatPtr open_for_reading(const std::string& path) {
  init_log();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) fail(path, "no such file");
  if (std::filesystem::is_directory(path, ec)) fail(path, "is a folder, not a MAT-file");
  last_log().clear();
  MatPtr mat(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
  if (!mat) fail(path, "not a MAT-file, or truncated or corrupt");
  if (Mat_GetVersion(mat.get()) != MAT_FT_MAT5) {
    fail(path, "only MAT-files of version 5 (save -v6 or -v7) are read");
  }
  check_whole(path);
  return mat;
}

// The whole variable of that name; InputError when the file has none or it cannot
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

// A new MAT variable (owned by the caller) holding the host value.
matvar_t* to_mat(const char* name, const mxArray* a, const std::string& path,
                 const std::string& where) {
  std::size_t dims[2] = {0, 0};
  if (a == nullptr) return Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, nullptr, 0);
  if (mxIsComplex(a)) fail(path, where + ": complex values cannot be written");
  dims[0] = mxGetM(a);
  dims[1] = mxGetN(a);
  const std::size_t count = mxGetNumberOfElements(a);
  const mxClassID id = mxGetClassID(a);
  if (const ClassPair* p = numeric_of(id)) {
    return Mat_VarCreate(name, p->mat, p->type, 2, dims, mxGetData(a), 0);
  }
  switch (id) {
    case mxLOGICAL_CLASS:
      return Mat_VarCreate(name, MAT_C_UINT8, MAT_T_UINT8, 2, dims, mxGetData(a), MAT_F_LOGICAL);
    case mxCHAR_CLASS: {
      if (dims[0] > 1) fail(path, where + ": only a text of one row can be written");
      std::vector<char> text(count + 1);
      mxGetString_700(a, text.data(), static_cast<int>(text.size()));
      return Mat_VarCreate(name, MAT_C_CHAR, MAT_T_UINT8, 2, dims, text.data(), 0);
    }
    case mxSTRUCT_CLASS: {
      const int nfields = mxGetNumberOfFields(a);
      std::vector<const char*> fields;
      for (int f = 0; f < nfields; ++f)
        fields.push_back(mxGetFieldNameByNumber(a, f));
      VarPtr s(Mat_VarCreateStruct(name, 2, dims, fields.data(), static_cast<unsigned>(nfields)));
      if (!s) fail(path, where + ": the struct cannot be made");
      for (std::size_t i = 0; i < count; ++i) {
        for (int f = 0; f < nfields; ++f) {
          matvar_t* field = to_mat(fields[f], mxGetFieldByNumber_700(a, static_cast<int>(i), f),
                                   path, where + "." + fields[f]);
          Mat_VarSetStructFieldByIndex(s.get(), static_cast<std::size_t>(f), i, field);
        }
      }
      return s.release();
    }
    case mxCELL_CLASS: {
      std::vector<matvar_t*> cells(count, nullptr);
      try {
        for (std::size_t i = 0; i < count; ++i) {
          cells[i] = to_mat(nullptr, mxGetCell_700(a, static_cast<int>(i)), path,
                            where + "{" + std::to_string(i + 1) + "}");
        }
      } catch (...) {
        for (matvar_t* c : cells)
          Mat_VarFree(c);
        throw;
      }
      return Mat_VarCreate(name, MAT_C_CELL, MAT_T_CELL, 2, dims, cells.data(), 0);
    }
    default:
      fail(path, where + ": a " + std::string(mxGetClassName(a)) + " value cannot be written");
  }
}

// The bytes of a MAT-file of these variables, made by matio in a scratch file.
std::string file_bytes(const std::string& path, std::vector<VarPtr> vars) {
  init_log();
  const std::string name = (std::filesystem::temp_directory_path() / "sfsim-mat-XXXXXX").string();
  std::vector<char> buffer(name.c_str(), name.c_str() + name.size() + 1);
  char* scratch = buffer.data();
  const int fd = ::mkstemp(scratch);
  if (fd < 0) fail(path, "cannot be written (no scratch file)");
  ::close(fd);
  last_log().clear();
  bool ok = true;
  {
    MatPtr mat(Mat_CreateVer(scratch, nullptr, MAT_FT_MAT5));
    ok = mat != nullptr;
    for (const VarPtr& v : vars) {
      if (!ok) break;
      ok = v && Mat_VarWrite(mat.get(), v.get(), MAT_COMPRESSION_NONE) == 0;
    }
  }
  std::ifstream in(scratch, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), {}};
  std::remove(scratch);
  if (!ok || bytes.size() < 128) {
    fail(path, "cannot be written" + (last_log().empty() ? "" : " (" + last_log() + ")"));
  }
  return bytes;
}

std::vector<VarPtr> one(VarPtr v) {
  std::vector<VarPtr> vars;
  vars.push_back(std::move(v));
  return vars;
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

VarPtr column(const char* name, const std::vector<double>& values) {
  std::size_t dims[2] = {values.size(), 1};
  return VarPtr(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims,
                              const_cast<double*>(values.data()), 0));
}

}  // namespace

std::vector<double> read_vector(const std::string& path, const std::string& name) {
  MatPtr mat = open_for_reading(path);
  VarPtr v = read_variable(mat.get(), path, name);
  return double_vector(v.get(), path, name);
}

std::unique_ptr<Queries> read_queries(const std::string& path, const std::string& name) {
  return std::make_unique<VectorQueries>(read_vector(path, name));
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

void ResultColumns::write(std::ostream& out) const {
  std::vector<VarPtr> vars;
  vars.push_back(column("step", step_));
  vars.push_back(column("time", time_));
  vars.push_back(column("z", z_));
  vars.push_back(column("y1", y1_));
  out << file_bytes("the result", std::move(vars));
}

void write_value(std::ostream& out, const std::string& name, const mxArray* value) {
  out << file_bytes(name, one(VarPtr(to_mat(name.c_str(), value, name, name))));
}

host::engine::MxPtr read_value(const std::string& path, const std::string& name) {
  MatPtr mat = open_for_reading(path);
  VarPtr v = read_variable(mat.get(), path, name);
  return to_host(v.get(), path, name);
}

}  // namespace sfsim::mat
