// Runs the console examples of a README and compares what they print with what the
// README shows.
//
//   readme_test README BIN_DIR PROJECT_DIR SCRATCH_DIR [--slow]
//
// A console example is a fenced block whose info string begins with `console`. In
// it, a line that begins with `$ ` is a shell command (a line ending in `\` goes on
// to the next); the lines after it, up to the next command, are what it prints,
// standard output and standard error together in the order they reach one pipe.
// `$ octave-cli` with options only opens an Octave session: each `>> ` line is the session's
// input (a line ending in `...` goes on to the next) and the lines after it what
// that input prints. In an expected line, `[...]` matches any text; a line that is
// only `[...]` matches any number of lines. Blank lines at the end of an output
// are not compared, and exit statuses are not either.
//
// The blocks run in the order of the README, each in a bash of its own, with
// BIN_DIR first on PATH, in SCRATCH_DIR (made empty first, and shared by the blocks,
// so that a block can use the files of the ones before it as a reader's would), or
// in PROJECT_DIR when the info string has the word `project`. Blocks whose info
// string has the word `slow` run only with --slow, the others only without it.
// Blocks that call octave-cli are skipped when there is none, or when the variable
// SF_README_OCTAVE is 0 (a build without the Octave adapters that the README's
// session loads from build/octave).
//
// Exit status: 0 every block matched, 1 a mismatch or an error, 77 none failed but
// some were skipped.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSkipped = 77;
constexpr char kMark = '\036';  // begins the line that separates two commands' outputs

struct Command {
  std::string text;                   // as given to bash or to Octave
  std::vector<std::string> expected;  // what it prints
  bool octave_input = false;          // a `>>` line of an Octave session
};

struct Block {
  int line = 0;  // of the opening fence
  bool project = false, slow = false;
  std::vector<Command> commands;
};

bool starts_with(const std::string& s, const std::string& p) {
  return s.compare(0, p.size(), p) == 0;
}
bool ends_with(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

// `octave-cli` with options only: an interactive session, its inputs on the lines
// that follow.
bool opens_session(const std::string& command) {
  std::istringstream words(command);
  std::string w;
  if (!(words >> w) || w != "octave-cli") return false;
  while (words >> w)
    if (w[0] != '-' || w == "--eval") return false;
  return true;
}

std::vector<Block> read_blocks(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<Block> blocks;
  Block* block = nullptr;
  bool in_octave = false, continued = false;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (block == nullptr) {
      if (!starts_with(line, "```console")) continue;
      blocks.push_back({number, false, false, {}});
      block = &blocks.back();
      std::istringstream words(line.substr(3));
      for (std::string w; words >> w;) {
        block->project = block->project || w == "project";
        block->slow = block->slow || w == "slow";
      }
      in_octave = continued = false;
      continue;
    }
    if (starts_with(line, "```")) {
      block = nullptr;
      continue;
    }
    auto& commands = block->commands;
    if (continued) {
      commands.back().text += "\n" + line;
      continued = ends_with(line, in_octave ? "..." : "\\");
    } else if (starts_with(line, "$ ")) {
      commands.push_back({line.substr(2), {}, false});
      in_octave = opens_session(line.substr(2));
      continued = ends_with(line, "\\");
    } else if (in_octave && starts_with(line, ">> ")) {
      commands.push_back({line.substr(3), {}, true});
      continued = ends_with(line, "...");
    } else if (commands.empty()) {
      throw std::runtime_error(path + ":" + std::to_string(number) +
                               ": output before the block's first command");
    } else {
      commands.back().expected.push_back(line);
    }
  }
  if (block != nullptr) throw std::runtime_error(path + ": a console block is not closed");
  return blocks;
}

// The bash script of a block: a marked line before each command's output. An Octave
// session reads its inputs from a here-document and marks them the same way.
std::string script_of(const Block& b, const std::string& dir) {
  std::string s = "cd '" + dir + "' || exit 1\n";
  std::size_t k = 0;
  while (k < b.commands.size()) {
    const Command& c = b.commands[k];
    s += "printf '\\036%d\\n' " + std::to_string(k) + "\n";
    ++k;
    if (!opens_session(c.text)) {
      s += c.text + "\n";
      continue;
    }
    s += c.text + " <<'README_OCTAVE_INPUT'\n";
    for (; k < b.commands.size() && b.commands[k].octave_input; ++k)
      s += "fprintf('%s%d\\n', char(30), " + std::to_string(k) + ");\n" + b.commands[k].text + "\n";
    s += "README_OCTAVE_INPUT\n";
  }
  return s;
}

// Runs a script in bash, standard error into the same pipe as standard output.
std::string run(const std::string& script, const fs::path& file) {
  std::ofstream(file) << script;
  const std::string command = "bash '" + file.string() + "' 2>&1 </dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) throw std::runtime_error("cannot start bash");
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
    out.append(buf, n);
  pclose(p);
  return out;
}

// The output of each command: the lines between its mark and the next. A mark may
// follow output that did not end its last line; that line is the command's.
std::vector<std::vector<std::string>> split(const std::string& out, std::size_t count,
                                            std::string& before) {
  std::vector<std::vector<std::string>> outputs(count);
  std::vector<std::string>* into = nullptr;
  std::string line;
  const auto end_line = [&] {
    if (into != nullptr)
      into->push_back(line);
    else
      before += line + "\n";
    line.clear();
  };
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == kMark) {
      if (!line.empty()) end_line();
      const std::size_t eol = out.find('\n', i);
      const std::size_t k = std::stoul(out.substr(i + 1, eol - i - 1));
      into = k < count ? &outputs[k] : nullptr;
      if (eol == std::string::npos) break;
      i = eol;
    } else if (out[i] == '\n') {
      end_line();
    } else {
      line += out[i];
    }
  }
  if (!line.empty()) end_line();
  return outputs;
}

void drop_trailing_blanks(std::vector<std::string>& lines) {
  while (!lines.empty() && lines.back().find_first_not_of(' ') == std::string::npos)
    lines.pop_back();
}

// One line against its pattern: `[...]` stands for any text.
bool line_matches(const std::string& pattern, const std::string& line) {
  const std::string any = "[...]";
  std::size_t p = pattern.find(any);
  if (p == std::string::npos) return pattern == line;
  if (line.compare(0, p, pattern, 0, p) != 0) return false;
  std::size_t at = p;
  p += any.size();
  while (true) {
    const std::size_t next = pattern.find(any, p);
    const std::string piece = pattern.substr(p, next == std::string::npos ? next : next - p);
    if (next == std::string::npos)
      return line.size() >= at + piece.size() && ends_with(line, piece);
    const std::size_t found = line.find(piece, at);
    if (found == std::string::npos) return false;
    at = found + piece.size();
    p = next + any.size();
  }
}

// The lines against the patterns; a pattern line `[...]` takes any number of lines.
bool lines_match(const std::vector<std::string>& want, const std::vector<std::string>& got) {
  // ok[i][j]: want[i..] matches got[j..].
  std::vector<std::vector<char>> ok(want.size() + 1, std::vector<char>(got.size() + 1, 0));
  ok[want.size()][got.size()] = 1;
  for (std::size_t i = want.size(); i-- > 0;)
    for (std::size_t j = got.size() + 1; j-- > 0;) {
      if (want[i] == "[...]")
        ok[i][j] = ok[i + 1][j] || (j < got.size() && ok[i][j + 1]);
      else
        ok[i][j] = j < got.size() && line_matches(want[i], got[j]) && ok[i + 1][j + 1];
    }
  return ok[0][0] != 0;
}

void show(const char* title, const std::vector<std::string>& lines) {
  std::cout << "  " << title << " (" << lines.size() << " lines):\n";
  for (const auto& l : lines)
    std::cout << "    |" << l << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || argc > 6 || (argc == 6 && std::string(argv[5]) != "--slow")) {
    std::cerr << "usage: readme_test README BIN_DIR PROJECT_DIR SCRATCH_DIR [--slow]\n";
    return 1;
  }
  const std::string readme = argv[1];
  const fs::path bin = fs::absolute(argv[2]), project = fs::absolute(argv[3]);
  const fs::path scratch = fs::absolute(argv[4]);
  const bool slow = argc == 6;
  try {
    const std::vector<Block> blocks = read_blocks(readme);
    fs::remove_all(scratch);
    fs::create_directories(scratch / "work");
    setenv("PATH", (bin.string() + ":" + getenv("PATH")).c_str(), 1);
    const char* octave_wanted = getenv("SF_README_OCTAVE");
    const bool octave = (octave_wanted == nullptr || std::string(octave_wanted) != "0") &&
                        std::system("command -v octave-cli >/dev/null 2>&1") == 0;
    int ran = 0, failed = 0, skipped = 0;
    for (const Block& b : blocks) {
      if (b.slow != slow) continue;
      std::string where = readme + ":" + std::to_string(b.line);
      bool uses_octave = false;
      for (const Command& c : b.commands)
        uses_octave = uses_octave || starts_with(c.text, "octave-cli");
      if (uses_octave && !octave) {
        std::cout << where
                  << ": skipped: no octave-cli on PATH, or no build/octave in this build\n";
        ++skipped;
        continue;
      }
      ++ran;
      const fs::path dir = b.project ? project : scratch / "work";
      std::string before;
      auto outputs =
          split(run(script_of(b, dir.string()), scratch / "block.sh"), b.commands.size(), before);
      if (!before.empty()) {
        std::cout << where << ": printed before its first command:\n" << before;
        ++failed;
      }
      for (std::size_t k = 0; k < b.commands.size(); ++k) {
        std::vector<std::string> want = b.commands[k].expected;
        drop_trailing_blanks(want);
        drop_trailing_blanks(outputs[k]);
        if (lines_match(want, outputs[k])) continue;
        ++failed;
        std::cout << where << ": the output of `" << b.commands[k].text
                  << "` is not what the README shows\n";
        show("README", want);
        show("printed", outputs[k]);
      }
    }
    std::cout << ran << " blocks run, " << failed << " mismatches, " << skipped << " skipped\n";
    if (ran + skipped == 0) {
      std::cout << "no console block to run: the README has none, or they were not found\n";
      return 1;
    }
    if (failed > 0) return 1;
    return skipped > 0 ? kSkipped : 0;
  } catch (const std::exception& e) {
    std::cerr << "readme_test: " << e.what() << "\n";
    return 1;
  }
}
