// Block services: error posting, the fatal-error dialog, the checked input-signal read,
// the code-generation pair writer and the block-handle query.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "block/services.h"
#include "block/services_internal.hpp"
#include "host/mex_host.hpp"

namespace {

const char* const kPluginTag = "glue-services-test";

// A block of three input ports with its own root and model information.
struct TestBlock {
  SimStruct root{};
  SimStruct S{};
  SsModelInfo info{};
  double signals[3] = {1.0, 2.0, 3.0};
  SsPort ports[3]{};

  TestBlock() {
    root.mdl_info = &info;
    S.root = &root;
    S.mdl_info = &info;
    S.model_name = "Harnvale";
    S.path = "Harnvale/Chart";
    S.sizes[SS_SIZES_NUM_INPUT_PORTS] = 3;
    for (int i = 0; i < 3; ++i)
      ports[i].signal = &signals[i];
    S.input_ports = ports;
  }
};

class BlockServices : public ::testing::Test {
 protected:
  void SetUp() override { host::mex::clear_dialogs(); }
  void TearDown() override {
    host::mex::clear_dialogs();
    block::detail::message_alloc = &std::malloc;
  }
  TestBlock b;
  host::mex::CallContext call{kPluginTag};
};

// ---- set_error_status ----

TEST_F(BlockServices, ErrorIsPostedOnTheRootWithTheErrorBitClearedAndOtherBitsKept) {
  static const char kMessage[] = "first";
  b.info.flags = 0xFFFFFFFFu;
  set_error_status(&b.S, kMessage);
  EXPECT_EQ(b.root.error_status, kMessage);  // the very text, not a copy
  EXPECT_EQ(b.S.error_status, nullptr);
  EXPECT_EQ(b.info.flags, 0xFFFFEFFFu);
}

TEST_F(BlockServices, SecondErrorReplacesTheFirst) {
  static const char kFirst[] = "first";
  static const char kSecond[] = "second";
  set_error_status(&b.S, kFirst);
  set_error_status(&b.S, kSecond);
  EXPECT_EQ(b.root.error_status, kSecond);
}

TEST_F(BlockServices, ASimStructWithoutRootIsItsOwnRoot) {
  static const char kMessage[] = "own";
  b.S.root = nullptr;
  b.info.flags = SS_MDLINFO_ERROR_FLAG;
  set_error_status(&b.S, kMessage);
  EXPECT_EQ(b.S.error_status, kMessage);
  EXPECT_EQ(b.info.flags, 0u);
}

// ---- show_fatal_error ----

TEST_F(BlockServices, FatalErrorShowsAModalDialog) {
  show_fatal_error(&b.S, "something broke");
  ASSERT_EQ(host::mex::dialogs().size(), 1u);
  EXPECT_EQ(host::mex::dialogs()[0].message, "something broke");
  EXPECT_EQ(host::mex::dialogs()[0].title, "Fatal Error");
  EXPECT_EQ(host::mex::dialogs()[0].mode, "modal");
}

// ---- safe_input_port_signal ----

TEST_F(BlockServices, ValidPortReturnsItsSignalAndReportsNothing) {
  for (int port = 0; port < 3; ++port) {
    EXPECT_EQ(safe_input_port_signal(&b.S, port), &b.signals[port]);
  }
  EXPECT_TRUE(host::mex::dialogs().empty());
  EXPECT_EQ(b.info.stop_requested, 0);
}

struct BadPortCase {
  int port;
  const char* message;
};

class BadPort : public BlockServices, public ::testing::WithParamInterface<BadPortCase> {};

TEST_P(BadPort, ShowsTheMessageRequestsStopAndReturnsNull) {
  b.ports[1].signal = nullptr;
  EXPECT_EQ(safe_input_port_signal(&b.S, GetParam().port), nullptr);
  ASSERT_EQ(host::mex::dialogs().size(), 1u);
  EXPECT_EQ(host::mex::dialogs()[0].message, GetParam().message);
  EXPECT_EQ(host::mex::dialogs()[0].title, "Fatal Error");
  EXPECT_EQ(host::mex::dialogs()[0].mode, "modal");
  EXPECT_EQ(b.info.stop_requested, 1);
  EXPECT_EQ(b.root.error_status, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    BlockServices, BadPort,
    ::testing::Values(
        BadPortCase{3,
                    "S-function 'Harnvale' in block 'Harnvale/Chart' is attempting to access the "
                    "signal from input port '4' in one its methods. However, the S-function's "
                    "mdlInitializeSizes routine has configured the block to have only 3 input "
                    "port(s). The incorrect access will cause a segmentation violation. Please "
                    "verify that all calls to ssGetInputPort[Real]Signal[Ptrs]() are using port "
                    "indices in the range [0..2].\n"},
        BadPortCase{-1,
                    "S-function 'Harnvale' in block 'Harnvale/Chart' is attempting to access the "
                    "signal from input port '0' in one its methods. However, the S-function's "
                    "mdlInitializeSizes routine has configured the block to have only 3 input "
                    "port(s). The incorrect access will cause a segmentation violation. Please "
                    "verify that all calls to ssGetInputPort[Real]Signal[Ptrs]() are using port "
                    "indices in the range [0..2].\n"},
        BadPortCase{2147483647,
                    "S-function 'Harnvale' in block 'Harnvale/Chart' is attempting to access the "
                    "signal from input port '2147483648' in one its methods. However, the "
                    "S-function's mdlInitializeSizes routine has configured the block to have "
                    "only 3 input port(s). The incorrect access will cause a segmentation "
                    "violation. Please verify that all calls to "
                    "ssGetInputPort[Real]Signal[Ptrs]() are using port indices in the range "
                    "[0..2].\n"},
        BadPortCase{1,
                    "S-function 'Harnvale' in block 'Harnvale/Chart' is attempting to access the "
                    "signal from input port '2' in one its methods. However, the S-function's "
                    "mdlInitializeSizes routine did not register the "
                    "ssSetInputPortDirectFeedThrough macro or the direct feedthrough flag has "
                    "been set to zero. This will cause a segmentation violation. Please verify "
                    "that the ssSetInputPortDirectFeedThrough is declared in mdlInitializeSizes "
                    "and the direct feedthrough flag is set to one when accessing the input port "
                    "signals in the mdlOutputs and/or mdlGetTimeOfNextVarHit method(s)."}));

TEST_F(BlockServices, LongNamesAreShownWhole) {
  const std::string model(3000, 'm');
  const std::string path = model + "/" + std::string(5000, 'p');
  b.S.model_name = model.c_str();
  b.S.path = path.c_str();
  EXPECT_EQ(safe_input_port_signal(&b.S, 7), nullptr);
  ASSERT_EQ(host::mex::dialogs().size(), 1u);
  const std::string& shown = host::mex::dialogs()[0].message;
  EXPECT_EQ(shown.substr(0, 12 + model.size()), "S-function '" + model);
  EXPECT_NE(shown.find("in block '" + path + "' is attempting"), std::string::npos);
  EXPECT_NE(shown.find("[0..2].\n"), std::string::npos);
}

TEST_F(BlockServices, RefusedMessageBufferReturnsNullWithoutReporting) {
  block::detail::message_alloc = [](std::size_t) -> void* { return nullptr; };
  EXPECT_EQ(safe_input_port_signal(&b.S, 5), nullptr);
  EXPECT_TRUE(host::mex::dialogs().empty());
  EXPECT_EQ(b.info.stop_requested, 0);
}

TEST_F(BlockServices, MessageBufferIsSizedForTheText) {
  static std::size_t requested = 0;
  block::detail::message_alloc = [](std::size_t size) {
    requested = size;
    return std::malloc(size);
  };
  safe_input_port_signal(&b.S, 3);
  ASSERT_EQ(host::mex::dialogs().size(), 1u);
  EXPECT_GE(requested, host::mex::dialogs()[0].message.size() + 1);
}

// ---- ssWriteRTWNameValuePair ----

struct WriterCall {
  void* context;
  int type;
  std::string name;
  const void* value;
  int data_type, rows, cols, reserved;
};
std::vector<WriterCall> g_writer_calls;
int g_writer_result = 1;

int recording_writer(void* context, int type, const char* name, const void* value, int data_type,
                     int rows, int cols, int reserved) {
  g_writer_calls.push_back({context, type, name, value, data_type, rows, cols, reserved});
  return g_writer_result;
}

class RtwPair : public BlockServices {
 protected:
  void SetUp() override {
    BlockServices::SetUp();
    g_writer_calls.clear();
    g_writer_result = 1;
    b.info.rtw_writer = recording_writer;
    b.info.rtw_writer_context = &context;
    b.root.error_status = kUntouched;
  }
  static constexpr const char* kUntouched = "untouched";
  int context = 0;
};

const char kTypeMessage[] = "Invalid SSWRITE_VALUE_type passed to ssWriteRTWNameValuePair";
const char kNameMessage[] = "Invalid name passed to ssWriteRTWNameValuePair";
const char kShapeMessage[] = "Invalid number of rows or columns passed to ssWriteRTWNameValuePair";
const char kValueMessage[] = "Invalid value (NULL) passed to ssWriteRTWNameValuePair";

// Calls the writer as a chart would, with the further arguments that `type` takes.
int write_pair(SimStruct* S, int type, const char* name, const void* value,
               const std::vector<int>& more) {
  switch (more.size()) {
    case 0:
      return ssWriteRTWNameValuePair(S, type, name, value);
    case 1:
      return ssWriteRTWNameValuePair(S, type, name, value, more[0]);
    case 2:
      return ssWriteRTWNameValuePair(S, type, name, value, more[0], more[1]);
    default:
      return ssWriteRTWNameValuePair(S, type, name, value, more[0], more[1], more[2]);
  }
}

const double kElements[4] = {1, 2, 3, 4};
const void* const kBothParts[2] = {&kElements[0], &kElements[2]};
const void* const kRealOnly[2] = {&kElements[0], nullptr};
const void* const kNoRealPart[2] = {nullptr, &kElements[2]};

struct PairCase {
  const char* label;
  int type;
  const char* name;
  const void* value;
  std::vector<int> more;
  const char* message;  // null: handed to the writer
  int data_type, rows, cols;
};

class RtwPairCase : public RtwPair, public ::testing::WithParamInterface<PairCase> {};

TEST_P(RtwPairCase, ChecksInOrderThenHandsToTheWriter) {
  const PairCase& c = GetParam();
  g_writer_result = 5;
  const int result = write_pair(&b.S, c.type, c.name, c.value, c.more);
  if (c.message != nullptr) {
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(b.root.error_status, c.message);
    EXPECT_TRUE(g_writer_calls.empty());
    return;
  }
  EXPECT_EQ(result, 5);
  EXPECT_EQ(b.root.error_status, kUntouched);
  ASSERT_EQ(g_writer_calls.size(), 1u);
  const WriterCall& w = g_writer_calls[0];
  EXPECT_EQ(w.context, &context);
  EXPECT_EQ(w.type, c.type);
  EXPECT_EQ(w.name, c.name);
  EXPECT_EQ(w.value, c.value);
  EXPECT_EQ(w.data_type, c.data_type);
  EXPECT_EQ(w.rows, c.rows);
  EXPECT_EQ(w.cols, c.cols);
  EXPECT_EQ(w.reserved, 0);
}

const void* const kText = "Embedded MATLAB";
const void* const kData = kElements;

INSTANTIATE_TEST_SUITE_P(
    BlockServices, RtwPairCase,
    ::testing::Values(
        // The type is checked first, before the name and the further arguments.
        PairCase{"type11", 11, "n", kData, {}, kTypeMessage, 0, 0, 0},
        PairCase{"typeMinus1", -1, nullptr, nullptr, {}, kTypeMessage, 0, 0, 0},
        // The name next, before rows and columns.
        PairCase{"nullName", 1, nullptr, kText, {}, kNameMessage, 0, 0, 0},
        PairCase{"emptyName", 0, "", kText, {}, kNameMessage, 0, 0, 0},
        PairCase{"emptyNameBadShape", 5, "", kData, {0, -1, 2}, kNameMessage, 0, 0, 0},
        // Rows and columns before the value.
        PairCase{"negativeCount", 2, "n", nullptr, {-1}, kShapeMessage, 0, 0, 0},
        PairCase{"negativeCount7", 7, "n", kData, {0, -3}, kShapeMessage, 0, 0, 0},
        PairCase{"rowsZeroOnly", 5, "n", kData, {0, 0, 4}, kShapeMessage, 0, 0, 0},
        PairCase{"colsZeroOnly", 8, "n", kData, {0, 4, 0}, kShapeMessage, 0, 0, 0},
        PairCase{"negativeCols", 10, "n", kBothParts, {0, 2, -2}, kShapeMessage, 0, 0, 0},
        PairCase{"negativeRows", 8, "n", kData, {0, -2, 2}, kShapeMessage, 0, 0, 0},
        // Null values.
        PairCase{"nullText0", 0, "n", nullptr, {}, kValueMessage, 0, 0, 0},
        PairCase{"nullText1", 1, "n", nullptr, {}, kValueMessage, 0, 0, 0},
        PairCase{"nullScalar3", 3, "n", nullptr, {0}, kValueMessage, 0, 0, 0},
        PairCase{"nullScalar6", 6, "n", nullptr, {0}, kValueMessage, 0, 0, 0},
        PairCase{"nullVector2", 2, "n", nullptr, {3}, kValueMessage, 0, 0, 0},
        PairCase{"nullMatrix5", 5, "n", nullptr, {0, 2, 2}, kValueMessage, 0, 0, 0},
        PairCase{"nullRecord9", 9, "n", nullptr, {0, 2}, kValueMessage, 0, 0, 0},
        PairCase{"noRealPart9", 9, "n", kNoRealPart, {0, 2}, kValueMessage, 0, 0, 0},
        PairCase{"noImagPart9", 9, "n", kRealOnly, {65536, 2}, kValueMessage, 0, 0, 0},
        PairCase{"noImagPart10", 10, "n", kRealOnly, {65536 | 3, 1, 2}, kValueMessage, 0, 0, 0},
        PairCase{"noRealPart10", 10, "n", kNoRealPart, {0, 1, 2}, kValueMessage, 0, 0, 0},
        // Rows 0: the value is not examined.
        PairCase{"count0NullValue4", 4, "n", nullptr, {0, 0}, nullptr, 0, 0, 1},
        PairCase{"empty0x0Matrix", 5, "n", nullptr, {6, 0, 0}, nullptr, 6, 0, 0},
        PairCase{"emptyRecord9", 9, "n", nullptr, {65536, 0}, nullptr, 65536, 0, 1},
        // Accepted pairs with the shape each type hands over.
        PairCase{"chartType", 1, "StateflowChartType", kText, {}, nullptr, 0, 1, 1},
        PairCase{"text0", 0, "n", kText, {}, nullptr, 0, 1, 1},
        PairCase{"vector2", 2, "n", kData, {4}, nullptr, 0, 4, 1},
        PairCase{"scalar3", 3, "n", kData, {7}, nullptr, 7, 1, 1},
        PairCase{"vector4", 4, "n", kData, {8, 3}, nullptr, 8, 3, 1},
        PairCase{"matrix5", 5, "n", kData, {1, 2, 2}, nullptr, 1, 2, 2},
        PairCase{"scalar6", 6, "n", kData, {9}, nullptr, 9, 1, 1},
        PairCase{"vector7", 7, "n", kData, {2, 4}, nullptr, 2, 4, 1},
        PairCase{"matrix8", 8, "n", kData, {3, 1, 4}, nullptr, 3, 1, 4},
        PairCase{"realRecord9", 9, "n", kRealOnly, {0, 2}, nullptr, 0, 2, 1},
        PairCase{"complexRecord9", 9, "n", kBothParts, {65536, 2}, nullptr, 65536, 2, 1},
        PairCase{"complexRecord10", 10, "n", kBothParts, {65536 | 1, 1, 2}, nullptr, 65537, 1, 2}),
    [](const ::testing::TestParamInfo<PairCase>& info) { return std::string(info.param.label); });

TEST_F(RtwPair, WriterFailureIsPassedBackWithoutMessage) {
  g_writer_result = 0;
  EXPECT_EQ(ssWriteRTWNameValuePair(&b.S, 1, "StateflowChartType", "Embedded MATLAB"), 0);
  EXPECT_EQ(g_writer_calls.size(), 1u);
  EXPECT_EQ(b.root.error_status, kUntouched);
}

TEST_F(RtwPair, RejectedPairIsPostedOnTheRoot) {
  b.info.flags = SS_MDLINFO_ERROR_FLAG | 1u;
  EXPECT_EQ(ssWriteRTWNameValuePair(&b.S, 12, "n", "v"), 0);
  EXPECT_STREQ(b.root.error_status, kTypeMessage);
  EXPECT_EQ(b.S.error_status, nullptr);
  EXPECT_EQ(b.info.flags, 1u);
}

TEST_F(RtwPair, BlockWithoutWriterRejectsTheAcceptedPairSilently) {
  b.info.rtw_writer = nullptr;
  EXPECT_EQ(ssWriteRTWNameValuePair(&b.S, 1, "StateflowChartType", "Embedded MATLAB"), 0);
  EXPECT_EQ(b.root.error_status, kUntouched);
}

// ---- query_host_double ----

std::vector<std::pair<int, int>> g_generic_calls;
double g_seen_start = -1.0;

int block_handle_entry(SimStruct*, int code, int int_arg, void* value) {
  g_generic_calls.emplace_back(code, int_arg);
  auto* d = static_cast<double*>(value);
  g_seen_start = *d;
  *d = 1234.5;
  return 1;
}

TEST_F(BlockServices, BlockHandleComesFromTheGenericEntry) {
  g_generic_calls.clear();
  b.info.generic_fcn = block_handle_entry;
  EXPECT_EQ(query_host_double(&b.S), 1234.5);
  ASSERT_EQ(g_generic_calls.size(), 1u);
  EXPECT_EQ(g_generic_calls[0], (std::pair<int, int>{21, 0}));
  EXPECT_EQ(g_seen_start, 0.0);
}

TEST_F(BlockServices, BlockHandleIsZeroWithoutGenericEntry) {
  EXPECT_EQ(query_host_double(&b.S), 0.0);
}

TEST_F(BlockServices, BlockHandleIsZeroWhenTheEntryLeavesTheValue) {
  b.info.generic_fcn = [](SimStruct*, int, int, void*) { return 0; };
  EXPECT_EQ(query_host_double(&b.S), 0.0);
}

}  // namespace
