#include "tools/output/output.hpp"

#include <cerrno>
#include <cstdio>
#include <ext/stdio_filebuf.h>
#include <iostream>
#include <random>
#include <system_error>

#include "host/os.hpp"
#include "tools/output/user_error.hpp"

namespace sfsim {
namespace fs = std::filesystem;

namespace {

// The longest file name (one path element) the usual file systems take, in bytes.
constexpr std::size_t kMaxFileName = 255;

std::string scratch_suffix() {
  static std::mt19937_64 rng{std::random_device{}()};
  char b[40];
  std::snprintf(b, sizeof b, ".part-%016llx", static_cast<unsigned long long>(rng()));
  return b;
}

// Two names of one file: the same file when both exist, else the same absolute path.
bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  const fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
  const fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
  return !pa.empty() && pa == pb;
}

std::string system_error_text(int code) {
  return code ? std::generic_category().message(code) : std::string("unknown error");
}

// The file a chain of symbolic links ends at (the path itself when it is no link);
// UserError for a chain that loops or cannot be read.
fs::path link_target(const std::string& path) {
  fs::path p(path);
  std::error_code ec;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
    if (hops == 40)
      throw UserError(path + ": cannot write the file: too many levels of symbolic links");
    fs::path next = fs::read_symlink(p, ec);
    if (ec) throw UserError(path + ": cannot write the file: " + ec.message());
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p;
}

}  // namespace

fs::path scratch_beside(const std::string& path) {
  const fs::path place(path);
  fs::path folder = place.parent_path();
  if (folder.empty()) folder = ".";
  std::string base = place.filename().string();
  const std::size_t room = kMaxFileName - scratch_suffix().size();
  if (base.size() > room) {
    base.resize(room);
    // Not in the middle of a UTF-8 sequence.
    while (!base.empty() && (static_cast<unsigned char>(base.back()) & 0xC0) == 0x80)
      base.pop_back();
    if (!base.empty() && static_cast<unsigned char>(base.back()) >= 0xC0) base.pop_back();
  }
  return folder / (base + scratch_suffix());
}

std::FILE* Scratch::create(const fs::path& place, const std::string& name, unsigned mode) {
  const std::string shown = name.empty() ? place.string() : name;
  remove();
  int code = EEXIST;
  for (int attempt = 0; attempt < 8 && code == EEXIST; ++attempt) {
    path_ = scratch_beside(place.string());
    // On the list before it exists, so that an interrupt never leaves it behind.
    slot_ = host::os::register_scratch(path_.string());
    if (slot_ < 0) {
      path_.clear();
      throw UserError(shown + ": cannot write the file: too many outputs or too long a name");
    }
    if (std::FILE* file = host::os::create_new_file(path_, &code, mode)) return file;
    keep();  // not made: nothing to remove
  }
  throw UserError(shown + ": cannot write the file: " +
                  (code == EEXIST ? std::string("no free name beside it")
                                  : "cannot make a file beside it: " + system_error_text(code)));
}

Scratch::~Scratch() {
  remove();
}

void Scratch::remove() noexcept {
  if (!path_.empty()) {
    std::error_code ec;
    fs::remove(path_, ec);
  }
  keep();
}

void Scratch::keep() noexcept {
  host::os::unregister_scratch(slot_);
  slot_ = -1;
  path_.clear();
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)), place_(path_) {
  std::error_code ec;
  const fs::file_status status = fs::status(place_, ec);  // what a link leads to
  if (ec && status.type() != fs::file_type::not_found)
    throw UserError(path_ + ": cannot write the file: " + ec.message());
  if (fs::is_directory(status)) throw UserError(path_ + ": is a folder, not a file");
  // A device or a pipe cannot be replaced by renaming; it is written directly.
  bool direct = fs::exists(status) && !fs::is_regular_file(status);
  if (fs::is_symlink(fs::symlink_status(place_, ec))) {
    place_ = link_target(path_);
    // A link to a file that its chain of names does not lead to (a process's
    // descriptor under /proc, a file since deleted) is written through too.
    std::error_code same;
    if (fs::is_regular_file(status) && !(fs::equivalent(place_, path_, same) && !same))
      direct = true;
  }
  // The file the shell redirected standard output or error to (/dev/stdout,
  // /proc/self/fd/1, or its own name): replacing it would cut it off from the stream
  // and lose what the stream wrote and writes; the CSV is added to it instead.
  const bool stream_file = fs::is_regular_file(status) && host::os::standard_stream_of(path_) != 0;
  if (direct || stream_file) {
    errno = 0;
    buffer_ = std::make_unique<std::filebuf>();
    if (!buffer_->open(path_, std::ios::binary | std::ios::out |
                                  (stream_file ? std::ios::app : std::ios::trunc))) {
      throw UserError(path_ + ": cannot write the file: " + system_error_text(errno));
    }
    out_.rdbuf(buffer_.get());
    direct_ = true;
    return;
  }
  fs::path folder = place_.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, ec))
    throw UserError(path_ + ": cannot write the file: no folder " + folder.string());
  const fs::file_status target = fs::status(place_, ec);
  if (fs::is_regular_file(target)) {
    keep_mode_ = true;
    mode_ = target.permissions();
  }
  // Nobody reads the new content who could not read the old: the scratch file is
  // made with the old file's mode (writable by its owner while it is written).
  file_ = scratch_.create(
      place_, path_, keep_mode_ ? static_cast<unsigned>(mode_ | fs::perms::owner_write) : 0666);
  try {
    buffer_ =
        std::make_unique<__gnu_cxx::stdio_filebuf<char>>(file_, std::ios::binary | std::ios::out);
  } catch (...) {
    discard();
    throw;
  }
  out_.rdbuf(buffer_.get());
  if (keep_mode_)
    fs::permissions(scratch_.path(), mode_ | fs::perms::owner_write, fs::perm_options::replace, ec);
}

OutputFile::~OutputFile() {
  if (!committed_) discard();
}

void OutputFile::fail(const std::string& what) {
  discard();
  throw UserError(path_ + ": " + what);
}

void OutputFile::commit() {
  if (committed_) return;
  if (!direct_ && scratch_.empty()) fail("cannot write the file");
  out_.flush();
  const bool written = bool(out_);
  if (!close() || !written) fail("cannot write the file (disk full?)");
  if (!direct_) {
    std::error_code ec;
    if (keep_mode_) fs::permissions(scratch_.path(), mode_, fs::perm_options::replace, ec);
    fs::rename(scratch_.path(), place_, ec);
    if (ec) fail("cannot write the file: " + ec.message());
    scratch_.keep();
  }
  committed_ = true;
}

bool OutputFile::close() noexcept {
  bool closed = true;
  if (buffer_ && buffer_->is_open() && buffer_->close() == nullptr) closed = false;
  buffer_.reset();
  out_.rdbuf(nullptr);  // the stream is bad from here on
  if (file_ != nullptr && std::fclose(file_) != 0) closed = false;
  file_ = nullptr;
  return closed;
}

void OutputFile::discard() noexcept {
  close();
  scratch_.remove();
}

TextOutput::TextOutput(const std::string& path) {
  if (!path.empty() && !is_standard_stream(path)) file_ = std::make_unique<OutputFile>(path);
}

std::ostream& TextOutput::stream() {
  return file_ ? file_->stream() : std::cout;
}

std::string TextOutput::name() const {
  return file_ ? file_->path() : std::string("standard output");
}

bool TextOutput::good() {
  return bool(stream()) && (file_ || !std::ferror(stdout));
}

void TextOutput::commit() {
  if (file_) {
    file_->commit();
    return;
  }
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout))
    throw UserError("standard output: write error");
}

void check_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
  auto named = [](const NamedFile& f) { return !f.path.empty() && !is_standard_stream(f.path); };
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedFile& out = outputs[i];
    if (!named(out)) continue;
    for (const NamedFile& in : inputs) {
      if (named(in) && same_file(in.path, out.path))
        throw UserError(out.path + ": " + out.option + " would overwrite the input of " +
                        in.option);
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (named(outputs[j]) && same_file(outputs[j].path, out.path))
        throw UserError(out.path + ": " + out.option + " and " + outputs[j].option +
                        " name the same file");
    }
  }
}

}  // namespace sfsim
