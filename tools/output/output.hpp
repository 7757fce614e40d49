// The files a run writes. Each is opened before the run, so that a file that cannot
// be written is found before anything is simulated; it is written beside its place
// and renamed into place only when complete (commit), so that a reader never sees a
// partial file and a failed run leaves none (discard, also on destruction). A name
// that is a symbolic link is decided on by what it leads to: a regular file is
// replaced as above and the link kept; a link to nothing is kept and its target made;
// an existing device or pipe (/dev/stdout), through a link or not, is written
// directly, and the file that standard output or error is redirected to is added to. A replaced
// file keeps its permissions. Scratch files are removed when the program is interrupted
// (host/os.hpp). Another format plugs in by deriving from OutputFile and writing through its own
// stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tools/output/user_error.hpp"

namespace sfsim {

// A scratch file beside a place, under a name with a random part, on the list of
// files removed when the program is interrupted while this is alive. The destructor
// removes the file unless it was kept (renamed into place).
class Scratch {
 public:
  Scratch() = default;
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::filesystem::path& path() const { return path_; }
  bool empty() const { return path_.empty(); }
  // Makes a new file beside `place` and returns it open for reading and writing
  // (the caller closes it). The file is made in one step that fails on a name that
  // exists, a symbolic link included, so that nothing planted at the name is written
  // through; a name taken is retried with another. POSIX: with the permission bits
  // `mode` from the start. UserError naming `name` (by default `place`) when no file
  // can be made.
  std::FILE* create(const std::filesystem::path& place, const std::string& name = {},
                    unsigned mode = 0666);
  // Removes the file (if any) and forgets the name.
  void remove() noexcept;
  // The file is no longer scratch (it has been renamed): forgets the name.
  void keep() noexcept;

 private:
  std::filesystem::path path_;
  int slot_ = -1;
};

class OutputFile {
 public:
  // Makes the scratch file beside `path` (beside the file a link leads to);
  // UserError when the place cannot take a file (no such folder, a folder of that
  // name, a name too long, no permission), saying what failed.
  explicit OutputFile(std::string path);
  virtual ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& path() const { return path_; }
  // The scratch file's stream, for formats that write bytes.
  std::ostream& stream() { return out_; }

  // Flushes and closes the scratch file and renames it into place, replacing what
  // was there; UserError (the scratch file removed) when it was not written in full.
  virtual void commit();
  // Removes the scratch file; the place keeps what it held before.
  void discard() noexcept;

 protected:
  [[noreturn]] void fail(const std::string& what);

 private:
  // Closes the file (flushing what is buffered); false when that failed.
  bool close() noexcept;

  std::string path_;
  std::filesystem::path place_;  // what commit replaces: the path, or the file its link names
  Scratch scratch_;
  std::FILE* file_ = nullptr;  // the scratch file, written through buffer_
  std::unique_ptr<std::filebuf> buffer_;
  std::ostream out_{nullptr};
  bool direct_ = false;  // an existing device or pipe, written in place
  bool committed_ = false;
  bool keep_mode_ = false;  // an existing file is replaced: its permissions are kept
  std::filesystem::perms mode_{};
};

// A text output: a file as above, or standard output when the path is empty or "-"
// (written as it goes; a write error is still an error).
class TextOutput {
 public:
  explicit TextOutput(const std::string& path);
  std::ostream& stream();
  // The path, or "standard output".
  std::string name() const;
  // Nothing has failed so far.
  bool good();
  void commit();

 private:
  std::unique_ptr<OutputFile> file_;
};

// A name for a scratch file beside `path`: `path` with a random suffix, the file's
// name shortened where needed so that the whole name stays within what a file
// system takes (255 bytes). Whether it is free is found out by making the file.
std::filesystem::path scratch_beside(const std::string& path);

// "-" names standard input or output.
inline bool is_standard_stream(const std::string& path) {
  return path == "-";
}

// Refuses outputs that name an input or each other (also under another spelling of
// the same file). Empty names and "-" are left out.
struct NamedFile {
  std::string option;  // "--out"
  std::string path;
};
void check_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

}  // namespace sfsim
