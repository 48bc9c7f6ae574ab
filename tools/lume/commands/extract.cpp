#include "tools/lume/commands/extract.h"

#include <fmt/core.h>

#include <cstring>
#include <optional>

#include "tools/lume/archive/file_cutter.h"
#include "tools/lume/base/atomic_file.h"
#include "tools/lume/base/error.h"
#include "tools/lume/commands/shown_text.h"
#include "tools/lume/commands/verify.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

// The host path of a payload name under folder, component by component in
// UTF-8; nullopt for a name that would not stay inside folder.
std::optional<fs::path> host_path(const fs::path& folder, const std::string& name, int code_page) {
  fs::path path = folder;
  size_t start = 0;
  for (;;) {
    size_t slash = name.find('\\', start);
    std::optional<std::string> part =
        host::from_code_page(std::string_view(name).substr(start, slash - start), code_page);
    if (!part || part->empty() || *part == "." || *part == ".." ||
        part->find('/') != std::string::npos || part->find('\0') != std::string::npos)
      return std::nullopt;
    path /= host::path_of_utf8(*part);
    if (slash == std::string::npos) return path;
    start = slash + 1;
  }
}

// What may stand where a file goes: nothing, or a regular file that
// --overwrite lets the new one replace. A link, a folder, a device, a FIFO
// or a socket is never opened, and never replaced.
void refuse_what_is_in_the_way(const fs::path& at, fs::file_status status,
                               ExistingFiles existing) {
  if (!fs::exists(status)) return;
  if (fs::is_directory(status))
    throw Error(fmt::format("{}: a folder stands where a file goes", at.string()));
  refuse_unsafe_output(at);
  if (existing == ExistingFiles::refuse)
    throw Error(fmt::format("{}: a file of this name is already there; give --overwrite to "
                            "replace it",
                            at.string()));
}

// Walks from root to file, refusing to pass through any symbolic link or to
// write over one. A missing folder is created when create says so; else the
// walk ends there, as nothing below it can be in the way.
void check_the_way(const fs::path& root, const fs::path& file, ExistingFiles existing,
                   bool create) {
  fs::path at = root;
  fs::path relative = file.lexically_relative(root);
  for (auto it = relative.begin(); it != relative.end(); ++it) {
    at /= *it;
    std::error_code ec;
    fs::file_status status = fs::symlink_status(at, ec);
    if (fs::is_symlink(status))
      throw Error(
          fmt::format("{}: a symbolic link stands here; extract does not follow it", at.string()));
    if (std::next(it) == relative.end()) return refuse_what_is_in_the_way(at, status, existing);
    if (!fs::exists(status)) {
      if (!create) return;
      if (!fs::create_directory(at, ec) && ec)
        throw Error(fmt::format("{}: cannot create the folder: {}", at.string(), ec.message()));
    }
    if (!fs::is_directory(fs::symlink_status(at, ec)))
      throw Error(fmt::format("{}: a file stands where a folder goes", at.string()));
  }
}

// Each file is written under a temporary name beside its place and put
// there only once it is whole and its check value holds, so that a damaged
// or cut-short file never shows under its real name, nor replaces a file
// that was there.
class Extractor {
 public:
  Extractor(const Installer& in, const fs::path& folder, int code_page, ExistingFiles existing)
      : in_(in), folder_(folder), code_page_(code_page), existing_(existing) {}

  // All names and their ways are settled before a single byte is written.
  void plan() {
    for (const PayloadFileEntry& file : in_.files) {
      std::optional<fs::path> path = host_path(folder_, file.name, code_page_);
      if (!path)
        throw Error(fmt::format("{}: the name '{}' has no safe form on this system",
                                in_.file.string(), shown_text(file.name, code_page_)));
      check_the_way(folder_, *path, existing_, false);
      paths_.push_back(*path);
    }
  }

  FileCutter::Handlers handlers() {
    return {[this](const PayloadFileEntry&) { open(); },
            [this](std::span<const uint8_t> bytes) { out_->write(bytes); },
            [this](const PayloadFileEntry& file, uint32_t check) { close(file, check); }};
  }

  // A file the stream left unfinished is not left behind.
  void abandon() { out_.reset(); }

  std::vector<std::string> problems;

 private:
  void open() {
    const fs::path& path = paths_[current_];
    check_the_way(folder_, path, existing_, true);
    out_.emplace(path);
  }

  void close(const PayloadFileEntry& file, uint32_t check) {
    ++current_;
    if (check != file.check) {
      problems.push_back(check_mismatch(file, check, code_page_) + "; the file is not written");
      out_.reset();
      return;
    }
    out_->close();
    host::write_file_times(out_->temporary(), file.times);
    out_->commit(existing_ == ExistingFiles::replace ? AtomicFile::Existing::replace
                                                     : AtomicFile::Existing::keep);
    out_.reset();
  }

  const Installer& in_;
  fs::path folder_;
  int code_page_;
  ExistingFiles existing_;
  std::vector<fs::path> paths_;
  size_t current_ = 0;
  std::optional<AtomicFile> out_;
};

}  // namespace

std::vector<std::string> extract_installer(const Installer& in, const fs::path& folder,
                                           int code_page, Console& console,
                                           ExistingFiles existing) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    throw Error(fmt::format("{}: cannot create the folder: {}", folder.string(), ec.message()));
  Extractor extractor(in, fs::absolute(folder), code_page, existing);
  extractor.plan();
  FileCutter cutter(in.directory(), in.files, extractor.handlers());
  std::vector<std::string> shortfall;
  try {
    shortfall = decode_payload(in, cutter, "extracting", code_page, console);
  } catch (...) {
    extractor.abandon();
    throw;
  }
  extractor.abandon();
  std::vector<std::string> problems = extractor.problems;
  problems.insert(problems.end(), shortfall.begin(), shortfall.end());
  return problems;
}

}  // namespace lume
