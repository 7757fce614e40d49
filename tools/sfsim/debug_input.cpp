// Where the debugger's commands come from: a file, or the terminal with line editing
// and history (libedit; a build without it reads plain lines after the prompt).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "tools/output/output.hpp"
#include "tools/sfsim/debugger.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/text/numbers.hpp"

#if SF_HAVE_LIBEDIT
#include <editline/readline.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace sfsim {
namespace {

// The longest command line; a longer one is refused as a whole.
constexpr std::size_t kMaxCommandBytes = 4096;

void skip(std::string& line, std::size_t bytes, std::FILE* out) {
  std::fprintf(out, "A command line is at most %zu bytes; this one (%zu bytes) was skipped\n",
               kMaxCommandBytes, bytes);
  line.clear();
}

class FileCommands : public CommandSource {
 public:
  FileCommands(const std::string& path, std::FILE* echo) : echo_(echo) {
    if (!is_standard_stream(path)) file_ = open_input(path);
    in_ = is_standard_stream(path) ? &std::cin : &file_;
  }
  // Keeps at most the limit and one more byte of a line (with a carriage return
  // before its end); the rest of a longer line is only counted.
  bool read(std::string& line) override {
    line.clear();
    std::size_t bytes = 0;
    int c = 0;
    std::streambuf& in = *in_->rdbuf();
    while ((c = in.sbumpc()) != EOF && c != '\n') {
      ++bytes;
      if (line.size() <= kMaxCommandBytes) line.push_back(static_cast<char>(c));
    }
    if (c == EOF && bytes == 0) return false;
    if (bytes == line.size() && !line.empty() && line.back() == '\r') {
      line.pop_back();
      --bytes;
    }
    std::fprintf(echo_, "%s%s\n", kDebugPrompt,
                 printable(line, bytes > kMaxCommandBytes ? 60 : 0).c_str());
    if (bytes > kMaxCommandBytes) skip(line, bytes, echo_);
    return true;
  }

 private:
  std::ifstream file_;
  std::istream* in_;
  std::FILE* echo_;
};

#if SF_HAVE_LIBEDIT
// Ctrl-C at the prompt clears the line and prompts again; while steps run, the
// program's own handling of SIGINT is in force.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_prompt_interrupt(int) {
  interrupted = 1;
}

// Reads the terminal's keys for the line editor; an interrupt ends the line as the
// end of input would.
extern "C" int read_key(std::FILE*) {
  unsigned char c = 0;
  while (!interrupted) {
    const ssize_t n = ::read(0, &c, 1);
    if (n == 1) return c;
    if (n == 0 || errno != EINTR) break;
  }
  return EOF;
}

class TerminalCommands : public CommandSource {
 public:
  TerminalCommands() {
    rl_catch_signals = 0;
    rl_getc_function = read_key;
    using_history();
  }
  ~TerminalCommands() override { clear_history(); }
  bool read(std::string& line) override {
    char* text = nullptr;
    for (;;) {
      interrupted = 0;
      struct sigaction act {
      }, old{};
      act.sa_handler = on_prompt_interrupt;
      sigemptyset(&act.sa_mask);
      sigaction(SIGINT, &act, &old);
      text = readline(kDebugPrompt);
      sigaction(SIGINT, &old, nullptr);
      if (!interrupted) break;
      std::free(text);
      std::fputc('\n', stdout);
    }
    if (text == nullptr) {
      std::fputc('\n', stdout);
      return false;
    }
    line = text;
    std::free(text);
    if (line.size() > kMaxCommandBytes) skip(line, line.size(), stdout);
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
