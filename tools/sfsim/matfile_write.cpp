// MAT-files written by sfsim: the result's four columns, streamed through a scratch
// file of rows so that memory stays flat, and saved states. Both are written here in
// the level 5 format (the host's byte order, no compression) into the stream of an
// output file, which checks every write and puts the file in place when complete.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "host/mx_classes.hpp"
#include "platform/mx.h"
#include "tools/output/output.hpp"
#include "tools/sfsim/matfile.hpp"

namespace sfsim::mat {
namespace {

// The format's data types and array classes.
enum : std::uint32_t { kInt8 = 1, kUInt8 = 2, kUInt16 = 4, kInt32 = 5, kUInt32 = 6, kMatrix = 14 };
enum : std::uint32_t { kCellClass = 1, kStructClass = 2, kCharClass = 4, kUInt8Class = 9 };
constexpr std::uint32_t kLogicalFlag = 0x200;

// The data type and array class of each numeric class, in the host's order.
struct NumericCodes {
  mxClassID host;
  std::uint32_t type, cls;
};
constexpr NumericCodes kNumeric[] = {{mxDOUBLE_CLASS, 9, 6},  {mxSINGLE_CLASS, 7, 7},
                                     {mxINT8_CLASS, 1, 8},    {mxUINT8_CLASS, 2, 9},
                                     {mxINT16_CLASS, 3, 10},  {mxUINT16_CLASS, 4, 11},
                                     {mxINT32_CLASS, 5, 12},  {mxUINT32_CLASS, 6, 13},
                                     {mxINT64_CLASS, 12, 14}, {mxUINT64_CLASS, 13, 15}};

const NumericCodes* numeric_of(mxClassID id) {
  for (const NumericCodes& c : kNumeric)
    if (c.host == id) return &c;
  return nullptr;
}

// The 128 bytes before the first variable: a text, no subsystem data, the version
// and the byte-order mark as 16-bit words of the host.
std::string file_header() {
  std::string h = "MATLAB 5.0 MAT-file, written by sfsim";
  h.resize(116, ' ');
  h.append(8, '\0');
  const std::uint16_t words[2] = {0x0100, 'M' << 8 | 'I'};
  h.append(reinterpret_cast<const char*>(words), sizeof words);
  return h;
}

void put_word(std::string& s, std::uint32_t v) {
  s.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// A data element: its tag, its bytes, padding to 8.
void put_element(std::string& s, std::uint32_t type, const void* data, std::size_t bytes) {
  put_word(s, type);
  put_word(s, static_cast<std::uint32_t>(bytes));
  if (bytes > 0) s.append(static_cast<const char*>(data), bytes);
  s.append((8 - bytes % 8) % 8, '\0');
}

// Flags, dimensions and name: the start of every array.
void put_array_head(std::string& s, std::uint32_t flags, std::size_t m, std::size_t n,
                    const std::string& name) {
  const std::uint32_t f[2] = {flags, 0};
  put_element(s, kUInt32, f, sizeof f);
  const std::int32_t dims[2] = {static_cast<std::int32_t>(m), static_cast<std::int32_t>(n)};
  put_element(s, kInt32, dims, sizeof dims);
  put_element(s, kInt8, name.data(), name.size());
}

// The whole array element of a host value (an absent value is an empty double).
std::string array_element(const std::string& name, const mxArray* a, const std::string& where) {
  std::string s;
  if (a == nullptr) {
    put_array_head(s, kNumeric[0].cls, 0, 0, name);
    put_element(s, kNumeric[0].type, nullptr, 0);
  } else {
    if (mxIsComplex(a)) fail(where, "complex values cannot be written");
    const std::size_t m = mxGetM(a), n = mxGetN(a), count = mxGetNumberOfElements(a);
    if (m > 0x7fffffff || n > 0x7fffffff) fail(where, "too large to be written");
    const mxClassID id = mxGetClassID(a);
    if (const NumericCodes* c = numeric_of(id)) {
      put_array_head(s, c->cls, m, n, name);
      put_element(s, c->type, mxGetData(a), count * host::mx_classes::element_size(id));
    } else if (id == mxLOGICAL_CLASS) {
      put_array_head(s, kUInt8Class | kLogicalFlag, m, n, name);
      put_element(s, kUInt8, mxGetData(a), count);
    } else if (id == mxCHAR_CLASS) {
      if (m > 1) fail(where, "only a text of one row can be written");
      std::string text(count + 1, '\0');
      mxGetString_700(a, text.data(), static_cast<int>(text.size()));
      std::vector<std::uint16_t> codes(count);
      for (std::size_t i = 0; i < count; ++i)
        codes[i] = static_cast<unsigned char>(text[i]);
      put_array_head(s, kCharClass, m, n, name);
      put_element(s, kUInt16, codes.data(), count * 2);
    } else if (id == mxSTRUCT_CLASS) {
      const int nfields = mxGetNumberOfFields(a);
      std::size_t slot = 1;
      for (int f = 0; f < nfields; ++f)
        slot = std::max(slot, std::strlen(mxGetFieldNameByNumber(a, f)) + 1);
      std::string names(static_cast<std::size_t>(nfields) * slot, '\0');
      for (int f = 0; f < nfields; ++f)
        std::memcpy(&names[static_cast<std::size_t>(f) * slot], mxGetFieldNameByNumber(a, f),
                    std::strlen(mxGetFieldNameByNumber(a, f)));
      put_array_head(s, kStructClass, m, n, name);
      // The field names' length as a small element (readers expect that form).
      put_word(s, 4u << 16 | kInt32);
      put_word(s, static_cast<std::uint32_t>(slot));
      put_element(s, kInt8, names.data(), names.size());
      for (std::size_t i = 0; i < count; ++i) {
        for (int f = 0; f < nfields; ++f) {
          s += array_element("", mxGetFieldByNumber_700(a, static_cast<int>(i), f),
                             where + "." + mxGetFieldNameByNumber(a, f));
        }
      }
    } else if (id == mxCELL_CLASS) {
      put_array_head(s, kCellClass, m, n, name);
      for (std::size_t i = 0; i < count; ++i) {
        s += array_element("", mxGetCell_700(a, static_cast<int>(i)),
                           where + "{" + std::to_string(i + 1) + "}");
      }
    } else {
      fail(where, "a " + std::string(mxGetClassName(a)) + " value cannot be written");
    }
  }
  if (s.size() > 0xffffffffu) fail(where, "too large to be written");
  std::string e;
  put_word(e, kMatrix);
  put_word(e, static_cast<std::uint32_t>(s.size()));
  return e + s;
}

constexpr std::size_t kBufferRows = 4096;
constexpr const char* kColumns[] = {"step", "time", "z", "y1"};

}  // namespace

void write_value(std::ostream& out, const std::string& name, const mxArray* value) {
  const std::string body = array_element(name, value, name);
  out << file_header() << body;
}

ResultColumns::ResultColumns(const std::string& path, std::int64_t expected_rows) : path_(path) {
  if (expected_rows > kMaxResultRows) {
    fail(path_, "a MAT-file result holds at most " + std::to_string(kMaxResultRows) +
                    " rows, the run has " + std::to_string(expected_rows) +
                    " queries (write CSV instead)");
  }
  file_ = scratch_.create(path_);
  buffer_.resize(kBufferRows * 4);
}

// The scratch file itself goes with scratch_.
ResultColumns::~ResultColumns() {
  if (file_ != nullptr) std::fclose(file_);
}

bool ResultColumns::flush_rows() {
  if (buffered_ > 0 && !failed_ &&
      std::fwrite(buffer_.data(), sizeof(double) * 4, buffered_, file_) != buffered_) {
    failed_ = true;
  }
  buffered_ = 0;
  return !failed_;
}

void ResultColumns::add(std::int64_t step, double time, double z, double y1) {
  if (failed_) return;
  if (rows_ == kMaxResultRows) {
    failed_ = true;
    return;
  }
  double* row = &buffer_[buffered_ * 4];
  row[0] = static_cast<double>(step);
  row[1] = time;
  row[2] = z;
  row[3] = y1;
  ++rows_;
  if (++buffered_ == kBufferRows) flush_rows();
}

void ResultColumns::write(std::ostream& out) {
  if (!flush_rows() || std::fflush(file_) != 0) {
    fail(path_, "cannot write the file (disk full?): its rows could not all be kept beside it");
  }
  out << file_header();
  for (int c = 0; c < 4; ++c) {
    const auto bytes = static_cast<std::size_t>(rows_) * sizeof(double);
    std::string head;
    put_array_head(head, kNumeric[0].cls, static_cast<std::size_t>(rows_), 1, kColumns[c]);
    put_word(head, kNumeric[0].type);
    put_word(head, static_cast<std::uint32_t>(bytes));
    std::string tag;
    put_word(tag, kMatrix);
    put_word(tag, static_cast<std::uint32_t>(head.size() + bytes));
    out << tag << head;
    std::rewind(file_);
    for (std::int64_t left = rows_; left > 0 && out;) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, kBufferRows));
      if (std::fread(buffer_.data(), sizeof(double) * 4, n, file_) != n)
        fail(path_, "cannot write the file: its rows could not be read back");
      for (std::size_t i = 0; i < n; ++i)
        buffer_[i] = buffer_[i * 4 + c];
      out.write(reinterpret_cast<const char*>(buffer_.data()),
                static_cast<std::streamsize>(n * sizeof(double)));
      left -= static_cast<std::int64_t>(n);
    }
  }
}

}  // namespace sfsim::mat
