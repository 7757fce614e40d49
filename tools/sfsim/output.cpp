#include "tools/sfsim/output.hpp"

#include <cstdio>
#include <iostream>
#include <random>
#include <system_error>

#include "tools/sfsim/inputs.hpp"

namespace sfsim {
namespace fs = std::filesystem;

namespace {

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

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  std::error_code ec;
  const fs::path place(path_);
  if (fs::is_directory(place, ec)) throw InputError(path_ + ": is a folder, not a file");
  if (fs::exists(place, ec) && !fs::is_regular_file(place, ec)) {
    // A device or a pipe cannot be replaced by renaming; it is written directly.
    out_.open(place, std::ios::binary);
    if (!out_) throw InputError(path_ + ": cannot write the file");
    direct_ = true;
    return;
  }
  fs::path folder = place.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, ec))
    throw InputError(path_ + ": cannot write the file: no folder " + folder.string());
  for (int attempt = 0; attempt < 8; ++attempt) {
    fs::path candidate = folder / (place.filename().string() + scratch_suffix());
    if (fs::exists(candidate, ec)) continue;
    scratch_ = candidate;
    break;
  }
  if (scratch_.empty()) throw InputError(path_ + ": cannot write the file");
  out_.open(scratch_, std::ios::binary | std::ios::trunc);
  if (!out_) {
    scratch_.clear();
    throw InputError(path_ + ": cannot write the file (no permission in its folder?)");
  }
}

OutputFile::~OutputFile() {
  if (!committed_) discard();
}

void OutputFile::fail(const std::string& what) {
  discard();
  throw InputError(path_ + ": " + what);
}

void OutputFile::commit() {
  if (committed_) return;
  if (direct_) {
    out_.flush();
    const bool written = bool(out_);
    out_.close();
    if (!written || out_.fail()) fail("cannot write the file (disk full?)");
    committed_ = true;
    return;
  }
  if (scratch_.empty()) fail("cannot write the file");
  out_.flush();
  const bool written = bool(out_);
  out_.close();
  if (!written || out_.fail()) fail("cannot write the file (disk full?)");
  std::error_code ec;
  fs::rename(scratch_, path_, ec);
  if (ec) fail("cannot write the file: " + ec.message());
  scratch_.clear();
  committed_ = true;
}

void OutputFile::discard() noexcept {
  if (out_.is_open()) out_.close();
  if (!scratch_.empty()) {
    std::error_code ec;
    fs::remove(scratch_, ec);
    scratch_.clear();
  }
}

TextOutput::TextOutput(const std::string& path) {
  if (!path.empty()) file_ = std::make_unique<OutputFile>(path);
}

std::ostream& TextOutput::stream() {
  return file_ ? file_->stream() : std::cout;
}

std::string TextOutput::name() const {
  return file_ ? file_->path() : std::string("standard output");
}

void TextOutput::commit() {
  if (file_) {
    file_->commit();
    return;
  }
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout))
    throw InputError("standard output: write error");
}

void TextOutput::discard() noexcept {
  if (file_) file_->discard();
}

void check_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedFile& out = outputs[i];
    if (out.path.empty()) continue;
    for (const NamedFile& in : inputs) {
      if (!in.path.empty() && same_file(in.path, out.path))
        throw InputError(out.path + ": " + out.option + " would overwrite the input of " +
                         in.option);
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (!outputs[j].path.empty() && same_file(outputs[j].path, out.path))
        throw InputError(out.path + ": " + out.option + " and " + outputs[j].option +
                         " name the same file");
    }
  }
}

}  // namespace sfsim
