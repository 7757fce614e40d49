// Where the debugger's commands come from: a file, or the terminal with line editing
// and history (libedit; a build without it reads plain lines after the prompt).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "tools/sfsim/debugger.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/output.hpp"
#include "tools/text/numbers.hpp"

#if SF_HAVE_LIBEDIT
#include <editline/readline.h>
#endif

namespace sfsim {
namespace {

// The longest command line; a longer one is refused as a whole.
constexpr std::size_t kMaxCommandBytes = 4096;

void skip(std::string& line, std::FILE* out) {
  std::fprintf(out, "A command line is at most %zu bytes; this one (%zu bytes) was skipped\n",
               kMaxCommandBytes, line.size());
  line.clear();
}

class FileCommands : public CommandSource {
 public:
  FileCommands(const std::string& path, std::FILE* echo) : echo_(echo) {
    if (!is_standard_stream(path)) file_ = open_input(path);
    in_ = is_standard_stream(path) ? &std::cin : &file_;
  }
  bool read(std::string& line) override {
    if (!std::getline(*in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::fprintf(echo_, "%s%s\n", kDebugPrompt,
                 printable(line, line.size() > kMaxCommandBytes ? 60 : 0).c_str());
    if (line.size() > kMaxCommandBytes) skip(line, echo_);
    return true;
  }

 private:
  std::ifstream file_;
  std::istream* in_;
  std::FILE* echo_;
};

#if SF_HAVE_LIBEDIT
class TerminalCommands : public CommandSource {
 public:
  TerminalCommands() { using_history(); }
  ~TerminalCommands() override { clear_history(); }
  bool read(std::string& line) override {
    char* text = readline(kDebugPrompt);
    if (text == nullptr) {
      std::fputc('\n', stdout);
      return false;
    }
    line = text;
    std::free(text);
    if (line.size() > kMaxCommandBytes) skip(line, stdout);
    if (line.find_first_not_of(" \t") != std::string::npos) add_history(line.c_str());
    return true;
  }
};
#else
class TerminalCommands : public CommandSource {
 public:
  bool read(std::string& line) override {
    std::fputs(kDebugPrompt, stdout);
    std::fflush(stdout);
    if (!std::getline(std::cin, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
};
#endif

}  // namespace

std::unique_ptr<CommandSource> file_commands(const std::string& path, std::FILE* echo) {
  return std::make_unique<FileCommands>(path, echo);
}

std::unique_ptr<CommandSource> terminal_commands() {
  return std::make_unique<TerminalCommands>();
}

}  // namespace sfsim
