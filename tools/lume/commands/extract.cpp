#include "tools/lume/commands/extract.h"

#include <fmt/core.h>

#include <optional>
#include <set>

#include "tools/lume/archive/file_cutter.h"
#include "tools/lume/archive/payload_pass.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/host/host_system.h"
#include "tools/lume/host/output_folder.h"
#include "tools/lume/host/shown_text.h"
#include "tools/lume/project/payload_names.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

// The host names of a payload name, folder by folder in UTF-8; nullopt for
// a name that would not stay inside the output folder.
std::optional<host::RelativePath> host_path(const std::string& name, int code_page) {
  host::RelativePath path;
  size_t start = 0;
  for (;;) {
    size_t slash = name.find('\\', start);
    std::optional<std::string> part =
        host::from_code_page(std::string_view(name).substr(start, slash - start), code_page);
    if (!part || part->empty() || *part == "." || *part == ".." ||
        part->find('/') != std::string::npos || part->find('\0') != std::string::npos)
      return std::nullopt;
    path.push_back(host::path_of_utf8(*part).native());
    if (slash == std::string::npos) return path;
    start = slash + 1;
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
    std::set<host::RelativePath> planned;
    for (const PayloadFileEntry& file : in_.files) {
      std::optional<host::RelativePath> path = host_path(file.name, code_page_);
      if (!path)
        throw Error(fmt::format("{}: the name '{}' has no safe form on this system",
                                shown_path(in_.file), shown_text(file.name, code_page_)));
      if (!planned.insert(*path).second)
        throw Error(fmt::format("{}: {}", shown_path(in_.file),
                                named_twice(decoded_text(file.name, code_page_))));
      refuse_what_stands(*path);
      paths_.push_back(std::move(*path));
    }
  }

  FileCutter::Handlers handlers() {
    return {[this](const PayloadFileEntry&) { out_.emplace(folder_, paths_[current_]); },
            [this](std::span<const uint8_t> bytes) { out_->write(bytes); },
            [this](const PayloadFileEntry& file, uint32_t check) { close(file, check); }};
  }

  // A file the stream left unfinished is not left behind.
  void abandon() { out_.reset(); }

  std::vector<std::string> problems;

 private:
  // What may stand where a file goes: nothing, or a regular file that
  // --overwrite lets the new one replace. A link, a folder, a device, a
  // FIFO or a socket is never opened, and never replaced.
  void refuse_what_stands(const host::RelativePath& path) const {
    const host::Standing standing = folder_.look(path);
    const std::string at = shown_path(folder_.shown(path));
    if (standing.kind == host::Standing::folder)
      throw Error(fmt::format("{}: a folder stands where a file goes", at));
    if (standing.kind == host::Standing::other)
      throw Error(
          fmt::format("{}: is {}; the output can only be a new or a regular file", at,
                      standing.what));
    if (standing.kind == host::Standing::regular_file && existing_ == ExistingFiles::refuse)
      throw Error(fmt::format("{}: a file of this name is already there; give --overwrite to "
                              "replace it",
                              at));
  }

  void close(const PayloadFileEntry& file, uint32_t check) {
    ++current_;
    if (check != file.check) {
      problems.push_back(check_mismatch(file, check, code_page_) + "; the file is not written");
      out_.reset();
      return;
    }
    out_->commit(file.times, existing_ == ExistingFiles::replace
                                 ? host::FolderFile::Existing::replace
                                 : host::FolderFile::Existing::keep);
    out_.reset();
  }

  const Installer& in_;
  host::OutputFolder folder_;
  int code_page_;
  ExistingFiles existing_;
  std::vector<host::RelativePath> paths_;
  size_t current_ = 0;
  std::optional<host::FolderFile> out_;
};

}  // namespace

std::vector<std::string> extract_installer(const Installer& in, const fs::path& folder,
                                           int code_page, Console& console,
                                           ExistingFiles existing) {
  if (in.stub.empty())
    throw Error(fmt::format("{}: {}; give the stub it was made from with --stub",
                            shown_path(in.file), kUnknownStub));
  Extractor extractor(in, folder, code_page, existing);
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
