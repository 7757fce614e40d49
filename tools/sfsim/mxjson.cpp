#include "tools/sfsim/mxjson.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "host/mx_classes.hpp"
#include "platform/mx.h"
#include "tools/sfsim/inputs.hpp"

namespace sfsim {
namespace {

using host::engine::MxPtr;

Json size_of(const mxArray* a) {
  return Json::array({mxGetM(a), mxGetN(a)});
}

Json float_json(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  return v;
}

template <class T>
Json numbers(const mxArray* a) {
  Json data = Json::array();
  const T* p = static_cast<const T*>(mxGetData(a));
  std::size_t n = mxGetNumberOfElements(a);
  for (std::size_t i = 0; i < n; ++i) {
    if constexpr (std::is_floating_point_v<T>)
      data.push_back(float_json(static_cast<double>(p[i])));
    else
      data.push_back(p[i]);
  }
  return data;
}

Json char_json(const mxArray* a) {
  std::size_t n = mxGetNumberOfElements(a);
  std::vector<char> buf(n + 1, '\0');
  mxGetString_700(a, buf.data(), static_cast<int>(buf.size()));
  return std::string(buf.data(), n);
}

// --- reading -------------------------------------------------------------------

struct Reader {
  const std::string& source;
  mutable int depth = 0;

  [[noreturn]] void fail(const std::string& where, const std::string& what) const {
    throw UserError(source + ": " + where + ": " + what);
  }

  const Json& member(const Json& v, const char* key, const std::string& where) const {
    auto it = v.find(key);
    if (it == v.end()) fail(where, std::string("no member \"") + key + "\"");
    return *it;
  }

  std::pair<std::size_t, std::size_t> size(const Json& v, const std::string& where) const {
    const Json& s = member(v, "size", where);
    constexpr std::uint64_t kMax = 1u << 30;
    if (!s.is_array() || s.size() != 2 || !s[0].is_number_unsigned() ||
        !s[1].is_number_unsigned() || s[0].get<std::uint64_t>() > kMax ||
        s[1].get<std::uint64_t>() > kMax)
      fail(where, "\"size\" must be [rows, columns] of whole numbers");
    const std::size_t m = s[0].get<std::size_t>(), n = s[1].get<std::size_t>();
    // An empty array holds no content to measure its size against; its dimensions are
    // bounded instead, so that making it costs nothing.
    if ((m == 0 || n == 0) && std::max(m, n) > kMaxEmptyDimension)
      fail(where, "\"size\" of an empty array may not exceed " +
                      std::to_string(kMaxEmptyDimension) + " in either dimension");
    return {m, n};
  }

  const Json& list(const Json& v, const char* key, std::size_t count,
                   const std::string& where) const {
    const Json& l = member(v, key, where);
    if (!l.is_array()) fail(where, std::string("\"") + key + "\" must be an array");
    if (l.size() != count)
      fail(where, std::string("\"") + key + "\" has " + std::to_string(l.size()) +
                      " entries for a size of " + std::to_string(count) + " elements");
    return l;
  }

  double float_value(const Json& e, const std::string& where) const {
    if (e.is_number()) return e.get<double>();
    if (e.is_string()) {
      const auto& s = e.get_ref<const std::string&>();
      if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
      if (s == "Inf") return std::numeric_limits<double>::infinity();
      if (s == "-Inf") return -std::numeric_limits<double>::infinity();
    }
    fail(where, "not a number (nor \"NaN\", \"Inf\", \"-Inf\")");
  }

  template <class T>
  T int_value(const Json& e, const std::string& where) const {
    if (e.is_number_unsigned()) {
      auto u = e.get<std::uint64_t>();
      if (u <= static_cast<std::uint64_t>(std::numeric_limits<T>::max())) return static_cast<T>(u);
    } else if (e.is_number_integer()) {
      auto i = e.get<std::int64_t>();
      if constexpr (std::is_signed_v<T>) {
        if (i >= std::numeric_limits<T>::min() && i <= std::numeric_limits<T>::max())
          return static_cast<T>(i);
      } else if (i >= 0 && static_cast<std::uint64_t>(i) <= std::numeric_limits<T>::max()) {
        return static_cast<T>(i);
      }
    }
    fail(where, "not a whole number in the range of the class");
  }

  template <class T>
  void fill(mxArray* a, const Json& data, const std::string& where) const {
    T* p = static_cast<T*>(mxGetData(a));
    for (std::size_t i = 0; i < data.size(); ++i) {
      std::string w = where + ".data[" + std::to_string(i) + "]";
      if constexpr (std::is_floating_point_v<T>)
        p[i] = static_cast<T>(float_value(data[i], w));
      else
        p[i] = int_value<T>(data[i], w);
    }
  }

  MxPtr numeric(mxClassID id, const Json& v, const std::string& where) const {
    auto [m, n] = size(v, where);
    const Json& data = list(v, "data", m * n, where);
    MxPtr a(id == mxDOUBLE_CLASS ? mxCreateDoubleMatrix_700(int(m), int(n), mxREAL)
                                 : mxCreateNumericMatrix_700(int(m), int(n), id, mxREAL));
    if (!host::mx_classes::is_numeric(id)) fail(where, "unsupported class");
    host::mx_classes::with_element_type(
        id, [&](auto element) { fill<typename decltype(element)::type>(a.get(), data, where); });
    return a;
  }

  MxPtr logical(const Json& v, const std::string& where) const {
    auto [m, n] = size(v, where);
    const Json& data = list(v, "data", m * n, where);
    if (m != 1 || n != 1) fail(where, "only logical scalars can be made");
    const Json& e = data[0];
    bool b = false;
    if (e.is_boolean())
      b = e.get<bool>();
    else if (e.is_number_unsigned() && e.get<std::uint64_t>() <= 1)
      b = e.get<std::uint64_t>() == 1;
    else
      fail(where + ".data[0]", "not true, false, 0 or 1");
    return MxPtr(mxCreateLogicalScalar(b));
  }

  MxPtr text(const Json& v, const std::string& where) const {
    auto [m, n] = size(v, where);
    const Json& t = member(v, "text", where);
    if (!t.is_string()) fail(where, "\"text\" must be a string");
    const auto& s = t.get_ref<const std::string&>();
    if (s.size() != m * n)
      fail(where, "\"text\" has " + std::to_string(s.size()) + " characters for a size of " +
                      std::to_string(m * n));
    if (s.find('\0') != std::string::npos) fail(where, "\"text\" holds a NUL character");
    MxPtr a;
    if (m == 1) {
      a.reset(mxCreateStringFromNChars_700(s.c_str(), int(n)));
    } else {
      // Column-major characters back into rows.
      std::vector<std::string> rows(m, std::string(n, ' '));
      for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < m; ++i)
          rows[i][j] = s[i + m * j];
      std::vector<const char*> ptrs;
      for (auto& r : rows)
        ptrs.push_back(r.c_str());
      a.reset(mxCreateCharMatrixFromStrings_700(int(m), ptrs.data()));
    }
    if (mxGetM(a.get()) != m || mxGetN(a.get()) != n)
      fail(where, "a char array of size [" + std::to_string(m) + "," + std::to_string(n) +
                      "] cannot be made");
    return a;
  }

  MxPtr structure(const Json& v, const std::string& where) const {
    auto [m, n] = size(v, where);
    const Json& fields = member(v, "fields", where);
    if (!fields.is_array()) fail(where, "\"fields\" must be an array");
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const auto& f : fields) {
      if (!f.is_string() || f.get_ref<const std::string&>().empty())
        fail(where, "\"fields\" must hold non-empty names");
      if (!seen.insert(f.get<std::string>()).second)
        fail(where, "field \"" + f.get<std::string>() + "\" is named twice");
      names.push_back(f.get<std::string>());
    }
    const Json& elements = list(v, "elements", m * n, where);
    std::vector<const char*> ptrs;
    for (auto& s : names)
      ptrs.push_back(s.c_str());
    MxPtr a(mxCreateStructMatrix_700(int(m), int(n), int(ptrs.size()), ptrs.data()));
    for (std::size_t i = 0; i < elements.size(); ++i) {
      std::string w = where + ".elements[" + std::to_string(i) + "]";
      const Json& e = elements[i];
      if (!e.is_object()) fail(w, "must be an object of fields");
      for (auto it = e.begin(); it != e.end(); ++it) {
        if (!seen.count(it.key())) fail(w, "\"" + it.key() + "\" is not among \"fields\"");
        if (it.value().is_null()) continue;
        MxPtr child = read(it.value(), w + "." + it.key());
        mxSetField_700(a.get(), int(i), it.key().c_str(), child.release());
      }
    }
    return a;
  }

  MxPtr cell(const Json& v, const std::string& where) const {
    auto [m, n] = size(v, where);
    const Json& elements = list(v, "elements", m * n, where);
    MxPtr a(mxCreateCellMatrix_700(int(m), int(n)));
    for (std::size_t i = 0; i < elements.size(); ++i) {
      if (elements[i].is_null()) continue;
      MxPtr child = read(elements[i], where + ".elements[" + std::to_string(i) + "]");
      mxSetCell_700(a.get(), int(i), child.release());
    }
    return a;
  }

  MxPtr read(const Json& v, const std::string& where) const {
    struct Level {
      int& depth;
      explicit Level(int& d) : depth(d) { ++depth; }
      ~Level() { --depth; }
    } level(depth);
    if (depth > kMaxJsonDepth)
      fail(where, "values nested more than " + std::to_string(kMaxJsonDepth) + " deep");
    if (!v.is_object()) fail(where, "must be an object with \"class\" and \"size\"");
    const Json& c = member(v, "class", where);
    if (!c.is_string()) fail(where, "\"class\" must be a string");
    const auto& name = c.get_ref<const std::string&>();
    const host::mx_classes::ClassInfo* info = host::mx_classes::find(name);
    if (info != nullptr && info->numeric) return numeric(info->id, v, where);
    if (name == "logical") return logical(v, where);
    if (name == "char") return text(v, where);
    if (name == "struct") return structure(v, where);
    if (name == "cell") return cell(v, where);
    fail(where, "unknown class \"" + name + "\"");
  }
};

}  // namespace

Json to_json(const mxArray* a) {
  if (!a) return nullptr;
  if (mxIsComplex(a)) throw std::runtime_error("complex arrays cannot be written as JSON");
  Json j;
  mxClassID id = mxGetClassID(a);
  switch (id) {
    case mxCHAR_CLASS:
      j["class"] = "char";
      j["size"] = size_of(a);
      j["text"] = char_json(a);
      return j;
    case mxSTRUCT_CLASS: {
      j["class"] = "struct";
      j["size"] = size_of(a);
      int nf = mxGetNumberOfFields(a);
      Json fields = Json::array();
      for (int f = 0; f < nf; ++f)
        fields.push_back(mxGetFieldNameByNumber(a, f));
      j["fields"] = fields;
      Json elements = Json::array();
      std::size_t n = mxGetNumberOfElements(a);
      for (std::size_t i = 0; i < n; ++i) {
        Json e = Json::object();
        for (int f = 0; f < nf; ++f)
          e[mxGetFieldNameByNumber(a, f)] = to_json(mxGetFieldByNumber_700(a, int(i), f));
        elements.push_back(e);
      }
      j["elements"] = elements;
      return j;
    }
    case mxCELL_CLASS: {
      j["class"] = "cell";
      j["size"] = size_of(a);
      Json elements = Json::array();
      std::size_t n = mxGetNumberOfElements(a);
      for (std::size_t i = 0; i < n; ++i)
        elements.push_back(to_json(mxGetCell_700(a, int(i))));
      j["elements"] = elements;
      return j;
    }
    default:
      break;
  }
  j["class"] = mxGetClassName(a);
  j["size"] = size_of(a);
  if (id == mxLOGICAL_CLASS) {
    // One byte per element, any nonzero byte true.
    Json data = Json::array();
    const auto* p = static_cast<const unsigned char*>(mxGetData(a));
    for (std::size_t i = 0; i < mxGetNumberOfElements(a); ++i)
      data.push_back(p[i] != 0);
    j["data"] = data;
  } else if (host::mx_classes::is_numeric(id)) {
    host::mx_classes::with_element_type(
        id, [&](auto element) { j["data"] = numbers<typename decltype(element)::type>(a); });
  } else {
    throw std::runtime_error(std::string("arrays of class ") + mxGetClassName(a) +
                             " cannot be written as JSON");
  }
  return j;
}

MxPtr from_json(const Json& value, const std::string& source) {
  return Reader{source}.read(value, "$");
}

std::string dump(const Json& value) {
  return value.dump(2);
}

std::string dump_line(const Json& value) {
  return value.dump();
}

Json read_json_file(const std::string& path) {
  std::ifstream in = open_input(path);
  std::string text;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    if (text.size() + static_cast<std::size_t>(in.gcount()) > kMaxJsonBytes)
      throw UserError(path + ": the file is larger than " + std::to_string(kMaxJsonBytes) +
                      " bytes");
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw UserError(path + ": read error");
  // Arrays and objects nested deeper than any value sfsim reads are refused while
  // parsing, before they are built.
  Json::parser_callback_t limit_depth = [&](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        depth > 3 * kMaxJsonDepth + 3)
      throw UserError(path + ": values nested more than " + std::to_string(kMaxJsonDepth) +
                      " deep");
    return true;
  };
  try {
    return Json::parse(text, limit_depth);
  } catch (const Json::parse_error& e) {
    // The library's message carries the line and column of the fault.
    throw UserError(path + ": not valid JSON: " + e.what());
  } catch (const Json::out_of_range& e) {
    throw UserError(path + ": a number is out of the range of a double: " + e.what());
  } catch (const Json::exception& e) {
    throw UserError(path + ": not a value sfsim can read: " + e.what());
  }
}

}  // namespace sfsim
