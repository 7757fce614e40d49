#include "tools/sfsim/matfile_check.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim::mat::detail {
namespace {

// The format's data types and array classes that the check tells apart.
enum : std::uint32_t { kInt8 = 1, kInt32 = 5, kUInt32 = 6, kMatrix = 14, kCompressed = 15 };
enum : std::uint32_t {
  kCell = 1,
  kStruct = 2,
  kObject = 3,
  kChar = 4,
  kSparse = 5,
  kFunction = 16
};

// The bytes of one value of a data type; 0 for a type that holds no numbers.
std::uint32_t type_bytes(std::uint32_t type) {
  switch (type) {
    case 1:   // int8
    case 2:   // uint8
    case 16:  // utf8
      return 1;
    case 3:   // int16
    case 4:   // uint16
    case 17:  // utf16
      return 2;
    case 5:   // int32
    case 6:   // uint32
    case 7:   // single
    case 18:  // utf32
      return 4;
    case 9:   // double
    case 12:  // int64
    case 13:  // uint64
      return 8;
    default:
      return 0;
  }
}

std::string values_text(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " value" : " values");
}

bool numeric_class(std::uint32_t c) {
  return c >= 6 && c <= 15;
}

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

// One variable's bytes (the element of type matrix, tag included) and what is
// known of it for messages.
class Variable {
 public:
  Variable(const std::string& path, const Words& w, const std::vector<unsigned char>& e,
           std::uint64_t at)
      : path_(path), w_(w), e_(e), at_(at) {}

  void check() {
    if (e_.size() < 8 || word(0) != kMatrix) corrupt("a variable is no array");
    frames_.push_back(enter(8, std::min<std::size_t>(e_.size(), 8 + word(4)), 1));
    while (!frames_.empty()) {
      Frame& f = frames_.back();
      if (f.cursor + 8 > f.end) {
        // Every element of an array is padded to 8 bytes: a remainder is a tag cut
        // short, which matio would read past the array.
        if (f.cursor != f.end) fault("an element's tag is cut short");
        if (f.values >= 0 && f.seen != static_cast<std::uint64_t>(f.values))
          fault(std::string(f.cell ? "a cell" : "a struct") + " holds " + values_text(f.seen) +
                " where its size claims " + std::to_string(f.values));
        frames_.pop_back();
        continue;
      }
      const Element sub = element(f.cursor, f.end);
      f.cursor = sub.next;
      if (sub.type == kMatrix) {
        ++f.seen;
        const int depth = f.depth + 1;
        if (depth > kMaxMatDepth)
          fail(path_, "arrays nested more than " + std::to_string(kMaxMatDepth) + " deep");
        frames_.push_back(enter(sub.data, sub.data + sub.size, depth));
      } else if (f.values >= 0) {
        fault(std::string(f.cell ? "a cell" : "a struct") + " holds an element that is no array");
      }
    }
  }

 private:
  struct Element {
    std::uint32_t type;
    std::size_t size, data, next;
  };
  // An array being walked: its sub-elements from cursor to end; values >= 0 for a
  // struct or cell, which must hold exactly that many arrays.
  struct Frame {
    std::size_t cursor, end;
    int depth;
    std::int64_t values;
    std::uint64_t seen;
    bool cell;
  };

  std::uint32_t word(std::size_t at) const { return w_.at(e_.data() + at); }

  [[noreturn]] void corrupt(const std::string& what) const {
    fail(path_,
         "corrupt MAT-file: " + what + " (the variable at byte " + std::to_string(at_) + ")");
  }
  [[noreturn]] void fault(const std::string& what) const {
    if (name_.empty()) corrupt(what);
    fail(path_, "variable " + sfsim::quoted(name_) + ": truncated or corrupt: " + what);
  }

  // The element at `at`, which must lie within `end`: a small one keeps up to 4
  // bytes in its tag.
  Element element(std::size_t at, std::size_t end) const {
    const std::uint32_t first = word(at);
    if ((first >> 16) != 0) {
      if ((first >> 16) > 4) fault("an element's tag is corrupt");
      return {first & 0xffff, first >> 16, at + 4, at + 8};
    }
    const std::uint64_t size = word(at + 4);
    const std::uint64_t padded = (size + 7) / 8 * 8;
    if (padded > end - at - 8) fault("an element overruns its array");
    return {first, static_cast<std::size_t>(size), at + 8,
            at + 8 + static_cast<std::size_t>(padded)};
  }

  Element expect(std::size_t& at, std::size_t end, const char* what) const {
    if (at + 8 > end) fault(std::string("an array lacks its ") + what);
    const Element e = element(at, end);
    at = e.next;
    return e;
  }

  // The headers of the array in [begin, end) checked, and the frame that walks the
  // rest of it.
  Frame enter(std::size_t begin, std::size_t end, int depth) {
    // The name comes third, but is taken first: the faults of the first two are
    // told with it.
    std::size_t at = begin;
    const Element flags = expect(at, end, "flags");
    const Element dims = expect(at, end, "dimensions");
    const Element name = expect(at, end, "name");
    if (name.type != kInt8 && name.type != 2) fault("an array's name is corrupt");
    if (depth == 1) {
      name_.assign(reinterpret_cast<const char*>(e_.data() + name.data), name.size);
      if (name_.find('\0') != std::string::npos)
        fail(path_, "variable " + sfsim::quoted(name_) + ": its name holds a NUL byte");
    }
    if (flags.type != kUInt32 || flags.size != 8) fault("an array's flags are corrupt");
    const std::uint32_t cls = word(flags.data) & 0xff;
    const bool complex = (word(flags.data) & 0x800) != 0;
    if (dims.type != kInt32 || dims.size < 8 || dims.size % 4 != 0)
      fault("an array's dimensions are corrupt");
    std::uint64_t count = 1;
    std::string size_text;
    for (std::size_t d = 0; d < dims.size; d += 4) {
      const auto n = static_cast<std::int32_t>(word(dims.data + d));
      if (n < 0) fault("an array has a negative dimension");
      size_text += (d == 0 ? "" : "x") + std::to_string(n);
      // Any claim past the bytes of the array is refused below; the product is
      // kept from overflowing until then.
      constexpr std::uint64_t kCap = 1ull << 40;
      const auto un = static_cast<std::uint64_t>(n);
      count = un == 0 ? 0 : count > kCap / un ? kCap : count * un;
    }
    // matio reads other classes (objects, function handles) only in part, and leaks
    // what it read of them: they are refused before it sees them.
    if (!numeric_class(cls) && cls != kChar && cls != kCell && cls != kStruct && cls != kSparse) {
      const char* what = cls == kObject     ? "an object"
                         : cls == kFunction ? "a function handle"
                                            : "an array of an unknown class";
      if (name_.empty()) corrupt(std::string("holds ") + what + ", which is not read");
      fail(path_, "variable " + sfsim::quoted(name_) + ": holds " + what + ", which is not read");
    }
    Frame f{at, end, depth, -1, 0, cls == kCell};
    if (numeric_class(cls) || cls == kChar) {
      for (int part = 0; part < (complex ? 2 : 1); ++part) {
        if (count == 0 && at + 8 > end) break;
        const Element data = expect(at, end, "data");
        const std::uint32_t bytes = type_bytes(data.type);
        if (bytes == 0) fault("its data is of an unknown type " + std::to_string(data.type));
        const std::uint64_t values = data.size / bytes;
        const bool utf8 = data.type == 16;
        if (data.size % bytes != 0 ||
            (utf8 ? values < count || values > 4 * count : values != count)) {
          fault("its " + std::string(part == 0 ? "" : "imaginary ") + "data holds " +
                values_text(values) + " where its size " + size_text + " claims " +
                std::to_string(count));
        }
      }
      f.cursor = end;
    } else if (cls == kSparse) {
      // matio sizes its buffers by these elements' tags: each must lie in the array.
      expect(at, end, "row indices");
      expect(at, end, "column starts");
      for (int part = 0; part < (complex ? 2 : 1); ++part)
        expect(at, end, "data");
      f.cursor = at;
    } else if (cls == kStruct || cls == kCell) {
      std::uint64_t fields = 1;
      if (cls != kCell) {
        const Element length = expect(at, end, "field name length");
        if (length.type != kInt32 || length.size != 4) fault("a struct's field names are corrupt");
        const std::uint32_t slot = word(length.data);
        const Element names = expect(at, end, "field names");
        if (names.type != kInt8 || (slot == 0 ? names.size != 0 : names.size % slot != 0))
          fault("a struct's field names are corrupt");
        fields = slot == 0 ? 0 : names.size / slot;
        for (std::size_t i = 0; i < fields; ++i) {
          if (e_[names.data + i * slot] == 0) fault("a struct has a field with an empty name");
        }
      }
      // Each value is an array of at least a tag: a claim of more than the bytes
      // left could hold is refused before anything is made for it.
      const std::uint64_t room = (end - at) / 8;
      if (fields != 0 && count > room / fields) {
        fault("its size " + size_text + " claims more values than the file holds");
      }
      f = {at, end, depth, static_cast<std::int64_t>(count * fields), 0, cls == kCell};
    }
    return f;
  }

  const std::string& path_;
  Words w_;
  const std::vector<unsigned char>& e_;
  std::uint64_t at_;
  std::string name_;
  std::vector<Frame> frames_;
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

// HDF5's signature, at the start of the file or of one of the blocks a user block
// may leave before it (MATLAB's version 7.3 files leave 512 bytes).
bool is_hdf5(std::ifstream& in, std::uint64_t size) {
  static constexpr char kSignature[] = "\x89HDF\r\n\x1a\n";
  for (std::uint64_t at = 0; at + 8 <= size && at <= 2048; at = at == 0 ? 512 : at * 2) {
    char b[8];
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    if (in.read(b, 8) && std::memcmp(b, kSignature, 8) == 0) return true;
  }
  in.clear();
  return false;
}

}  // namespace

void check_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(path, "cannot open the file (missing or unreadable)");
  in.seekg(0, std::ios::end);
  const std::uint64_t size = static_cast<std::uint64_t>(in.tellg());
  if (is_hdf5(in, size)) {
    fail(path,
         "a MAT-file of version 7.3 (HDF5), which sfsim does not read: save it as "
         "version 7 instead (save -v7 in Octave or MATLAB)");
  }
  unsigned char header[128];
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) {
    fail(path, "not a MAT-file, or truncated or corrupt");
  }
  const bool swap = header[126] == 'M' && header[127] == 'I';
  if (!swap && !(header[126] == 'I' && header[127] == 'M')) {
    fail(path, "not a MAT-file of version 5 (no byte-order mark)");
  }
  const Words w{swap};
  std::uint64_t at = sizeof header;
  while (at < size) {
    unsigned char tag[8];
    in.seekg(static_cast<std::streamoff>(at));
    if (size - at < sizeof tag || !in.read(reinterpret_cast<char*>(tag), sizeof tag)) {
      fail(path, "truncated or corrupt MAT-file: a variable's header is cut short");
    }
    const std::uint32_t type = w.at(tag);
    std::uint64_t bytes = w.at(tag + 4);
    if (type != kCompressed) bytes = (bytes + 7) / 8 * 8;
    if (type != kMatrix && type != kCompressed) {
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
    if (type == kCompressed) {
      body = inflated(path, body);
    } else {
      body.insert(body.begin(), tag, tag + sizeof tag);
    }
    Variable(path, w, body, at).check();
    at += sizeof tag + bytes;
  }
}

}  // namespace sfsim::mat::detail
