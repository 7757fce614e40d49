// The files a run writes. Each is opened before the run, so that a file that cannot
// be written is found before anything is simulated; it is written beside its place
// and renamed into place only when complete (commit), so that a reader never sees a
// partial file and a failed run leaves none (discard, also on destruction). An
// existing device or pipe (/dev/stdout) is written directly. Another
// format plugs in by deriving from OutputFile and writing through its own stream.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace sfsim {

class OutputFile {
 public:
  // Makes the scratch file beside `path`; InputError when the place cannot take a
  // file (no such folder, a folder of that name, no permission).
  explicit OutputFile(std::string path);
  virtual ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& path() const { return path_; }
  // The scratch file's stream, for formats that write bytes.
  std::ostream& stream() { return out_; }
  bool committed() const { return committed_; }

  // Flushes and closes the scratch file and renames it into place, replacing what
  // was there; InputError (the scratch file removed) when it was not written in full.
  virtual void commit();
  // Removes the scratch file; the place keeps what it held before.
  void discard() noexcept;

 protected:
  [[noreturn]] void fail(const std::string& what);

 private:
  std::string path_;
  std::filesystem::path scratch_;
  std::ofstream out_;
  bool direct_ = false;  // an existing device or pipe, written in place
  bool committed_ = false;
};

// A text output: a file as above, or standard output when the path is empty (written
// as it goes; a write error is still an error).
class TextOutput {
 public:
  explicit TextOutput(const std::string& path);
  std::ostream& stream();
  // The path, or "standard output".
  std::string name() const;
  void commit();
  void discard() noexcept;

 private:
  std::unique_ptr<OutputFile> file_;
};

// Refuses outputs that name an input or each other (also under another spelling of
// the same file). Empty names are left out.
struct NamedFile {
  std::string option;  // "--out"
  std::string path;
};
void check_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

}  // namespace sfsim
