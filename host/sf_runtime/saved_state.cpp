// The MATLAB-level function "sfprivate": the conversions between a chart's raw
// saved state (a cell with one element per chart variable) and the saved state
// that the host keeps (a self-describing struct), both guided by the chart's
// sim-state description (chartChecksum, varInfo).
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "host/sf_runtime/values.hpp"
#include "host/trace.hpp"
#include "platform/mx.h"

namespace host::sf_runtime::detail::values {
namespace {

constexpr const char* kBlockHandle = "blockHandle";
constexpr const char* kChartChecksum = "chartChecksum";
constexpr int kChecksumWords = 4;

// varInfo types with a known layout.
constexpr int kTypeOutput = 1;      // the chart's output data: a real double scalar
constexpr int kTypeActiveFlag = 8;  // the chart's active flag: a real uint8 scalar

struct Variable {
  std::string name;
  int type;
};

struct Description {
  const mxArray* checksum;  // 1x4 real double
  std::vector<Variable> variables;
};

[[noreturn]] void bad_description(const std::string& what) {
  raise(kIdSimStateDescription, "sfprivate: invalid sim-state description: " + what);
}

bool is_field_name(const std::string& s) {
  if (s.empty() || s.size() > 63 || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

bool is_checksum(const mxArray* a) {
  return a != nullptr && mxGetClassID(a) == mxDOUBLE_CLASS && !mxIsComplex(a) && mxGetM(a) == 1 &&
         mxGetN(a) == kChecksumWords;
}

std::string checksum_text(const mxArray* a) {
  const double* w = mxGetPr(a);
  return format("[%.17g %.17g %.17g %.17g]", w[0], w[1], w[2], w[3]);
}

Description read_description(const mxArray* d) {
  if (d == nullptr || !mxIsStruct(d) || mxGetNumberOfElements(d) != 1) {
    bad_description("expected a 1x1 struct, got " + describe(d) + ".");
  }
  Description out;
  out.checksum = mxGetField_700(d, 0, kChartChecksum);
  if (!is_checksum(out.checksum)) {
    bad_description("its chartChecksum must be a 1x4 real double, got " + describe(out.checksum) +
                    ".");
  }
  const mxArray* info = mxGetField_700(d, 0, "varInfo");
  if (info == nullptr || !mxIsStruct(info)) {
    bad_description("its varInfo must be a struct array, got " + describe(info) + ".");
  }
  const std::size_t count = mxGetNumberOfElements(info);
  for (std::size_t i = 0; i < count; ++i) {
    const int index = static_cast<int>(i);
    const mxArray* name = mxGetField_700(info, index, "name");
    const mxArray* type = mxGetField_700(info, index, "type");
    char buf[64];
    if (name == nullptr || !mxIsChar(name) || mxGetString_700(name, buf, sizeof buf) != 0 ||
        !is_field_name(buf)) {
      bad_description(format("varInfo(%zu).name must be a valid field name, got ", i + 1) +
                      describe(name) + ".");
    }
    if (!is_real_scalar(type, mxDOUBLE_CLASS)) {
      bad_description(format("varInfo(%zu).type must be a real double scalar, got ", i + 1) +
                      describe(type) + ".");
    }
    Variable v{buf, static_cast<int>(mxGetScalar(type))};
    if (v.name == kBlockHandle || v.name == kChartChecksum) {
      bad_description("the variable name '" + v.name + "' is reserved.");
    }
    for (const Variable& seen : out.variables) {
      if (seen.name == v.name) bad_description("the variable '" + v.name + "' is named twice.");
    }
    out.variables.push_back(std::move(v));
  }
  return out;
}

// Refuses a variable value whose class or size does not fit its varInfo type.
void check_variable(const Variable& v, const mxArray* value, const char* where) {
  const char* expected = nullptr;
  if (v.type == kTypeOutput && !is_real_scalar(value, mxDOUBLE_CLASS)) {
    expected = "a real double scalar";
  } else if (v.type == kTypeActiveFlag && !is_real_scalar(value, mxUINT8_CLASS)) {
    expected = "a real uint8 scalar";
  } else if (value == nullptr) {
    expected = "a value";
  }
  if (expected != nullptr) {
    raise(kIdSimStateMismatch, format("sfprivate: %s variable '%s' must be %s, got %s.", where,
                                      v.name.c_str(), expected, describe(value).c_str()));
  }
}

// (text, block handle, raw cell, description) -> saved state.
mxArray* raw_to_high(int nrhs, mxArray* prhs[]) {
  if (nrhs != 4) {
    raise(kIdSfprivate, format("sfprivate: 'chart_simctx_raw2high' takes 4 inputs, got %d.", nrhs));
  }
  const mxArray* handle = prhs[1];
  const mxArray* raw = prhs[2];
  const Description desc = read_description(prhs[3]);
  if (!is_real_scalar(handle, mxDOUBLE_CLASS)) {
    raise(kIdSfprivate, "sfprivate: the block handle must be a real double scalar, got " +
                            describe(handle) + ".");
  }
  if (raw == nullptr || !mxIsCell(raw) || mxGetNumberOfElements(raw) != desc.variables.size()) {
    raise(kIdSimStateMismatch,
          format("sfprivate: the raw state must be a cell of %zu elements, got ",
                 desc.variables.size()) +
              describe(raw) + ".");
  }
  for (std::size_t i = 0; i < desc.variables.size(); ++i) {
    check_variable(desc.variables[i], mxGetCell_700(raw, static_cast<int>(i)), "the raw state's");
  }
  ArrayGuard state(mxCreateStructMatrix_700(1, 1, 0, nullptr));
  mxAddField(state.get(), kBlockHandle);
  mxSetField_700(state.get(), 0, kBlockHandle, mxDuplicateArray(handle));
  mxAddField(state.get(), kChartChecksum);
  mxSetField_700(state.get(), 0, kChartChecksum, mxDuplicateArray(desc.checksum));
  for (std::size_t i = 0; i < desc.variables.size(); ++i) {
    const char* name = desc.variables[i].name.c_str();
    mxAddField(state.get(), name);
    mxSetField_700(state.get(), 0, name, mxDuplicateArray(mxGetCell_700(raw, static_cast<int>(i))));
  }
  return state.release();
}

// (text, saved state, description) -> raw cell; refuses a state that does not fit.
mxArray* high_to_raw(int nrhs, mxArray* prhs[]) {
  if (nrhs != 3) {
    raise(kIdSfprivate, format("sfprivate: 'chart_simctx_high2raw' takes 3 inputs, got %d.", nrhs));
  }
  const mxArray* state = prhs[1];
  const Description desc = read_description(prhs[2]);
  if (state == nullptr || !mxIsStruct(state) || mxGetNumberOfElements(state) != 1 ||
      mxGetFieldNumber(state, kBlockHandle) < 0 || mxGetFieldNumber(state, kChartChecksum) < 0) {
    raise(kIdSimStateMismatch,
          "sfprivate: not a saved chart state: expected a 1x1 struct with fields 'blockHandle' "
          "and 'chartChecksum', got " +
              describe(state) + ".");
  }
  const mxArray* saved_sum = mxGetField_700(state, 0, kChartChecksum);
  if (!is_checksum(saved_sum)) {
    raise(kIdSimStateMismatch,
          "sfprivate: the saved state's chartChecksum must be a 1x4 real double, got " +
              describe(saved_sum) + ".");
  }
  if (std::memcmp(mxGetPr(saved_sum), mxGetPr(desc.checksum), sizeof(double) * kChecksumWords) !=
      0) {
    raise(kIdSimStateMismatch, "sfprivate: the state was saved from another chart: its checksum " +
                                   checksum_text(saved_sum) + " differs from this chart's " +
                                   checksum_text(desc.checksum) + ".");
  }
  for (const Variable& v : desc.variables) {
    if (mxGetFieldNumber(state, v.name.c_str()) < 0) {
      raise(kIdSimStateMismatch, "sfprivate: the saved state has no variable '" + v.name + "'.");
    }
    check_variable(v, mxGetField_700(state, 0, v.name.c_str()), "the saved state's");
  }
  ArrayGuard raw(mxCreateCellMatrix_700(static_cast<int>(desc.variables.size()), 1));
  for (std::size_t i = 0; i < desc.variables.size(); ++i) {
    const mxArray* value = mxGetField_700(state, 0, desc.variables[i].name.c_str());
    mxSetCell_700(raw.get(), static_cast<int>(i), mxDuplicateArray(value));
  }
  return raw.release();
}

void sfprivate(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[]) {
  char conversion[64] = "";
  if (nrhs < 1 || prhs[0] == nullptr || !mxIsChar(prhs[0]) ||
      mxGetString_700(prhs[0], conversion, sizeof conversion) != 0) {
    host::trace::record("sfprivate", nlhs, nrhs, nullptr);
    host::trace::Mute mute;
    raise(kIdSfprivate, "sfprivate: the first input must be a text naming the conversion.");
  }
  host::trace::record("sfprivate", nlhs, nrhs, conversion);
  host::trace::Mute mute;  // the conversion's own matrix work is not traced
  if (nlhs > 1) {
    raise(kIdSfprivate, format("sfprivate: '%s' has one output, %d requested.", conversion, nlhs));
  }
  mxArray* result;
  if (std::strcmp(conversion, "chart_simctx_raw2high") == 0) {
    result = raw_to_high(nrhs, prhs);
  } else if (std::strcmp(conversion, "chart_simctx_high2raw") == 0) {
    result = high_to_raw(nrhs, prhs);
  } else {
    raise(kIdSfprivate, format("sfprivate: unknown conversion '%s'.", conversion));
  }
  plhs[0] = result;
}

// Makes "sfprivate" callable as soon as the runtime is loaded.
[[maybe_unused]] const bool registered = [] {
  host::mex::register_function("sfprivate", sfprivate);
  return true;
}();

}  // namespace
}  // namespace host::sf_runtime::detail::values
