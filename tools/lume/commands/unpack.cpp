// `lume verify` and `lume extract`: both decode the whole payload and cut it
// into files; extract also writes them.
#include <fmt/core.h>

#include <cstring>
#include <fstream>
#include <optional>

#include "tools/lume/archive/file_cutter.h"
#include "tools/lume/cli/error.h"
#include "tools/lume/codec/decode.h"
#include "tools/lume/commands/inspect.h"
#include "tools/lume/commands/shown_text.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

// Decodes the stream through cutter and says what fell short.
std::vector<std::string> decode_payload(const Installer& in, FileCutter& cutter,
                                        const char* action, int code_page, Console& console) {
  Progress progress(console.progress_style(), action, in.header.total_size);
  bool stream_ok =
      codec::decode(in.stream(), in.header.total_size, [&](std::span<const uint8_t> chunk) {
        cutter.take(chunk);
        progress.update(cutter.produced());
      });
  cutter.finish();
  progress.finish();

  std::vector<std::string> problems;
  if (!stream_ok)
    problems.push_back(
        fmt::format("the compressed stream is damaged after {} decoded bytes", cutter.produced()));
  if (cutter.produced() < in.header.total_size)
    problems.push_back(fmt::format("the stream gives {} of the {} bytes the header names",
                                   cutter.produced(), in.header.total_size));
  if (cutter.files_done() < in.files.size())
    problems.push_back(fmt::format("{} of {} files are missing or cut short, from '{}' on",
                                   in.files.size() - cutter.files_done(), in.files.size(),
                                   shown_text(in.files[cutter.files_done()].name, code_page)));
  return problems;
}

std::string mismatch(const PayloadFileEntry& file, uint32_t check, int code_page) {
  return fmt::format("{}: check value {:08X}, the directory holds {:08X}",
                     shown_text(file.name, code_page), check, file.check);
}

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

// Creates the folders between root and file, refusing to pass through any
// symbolic link, or to write over one.
void prepare_path(const fs::path& root, const fs::path& file) {
  fs::path at = root;
  fs::path relative = file.lexically_relative(root);
  for (auto it = relative.begin(); it != relative.end(); ++it) {
    at /= *it;
    std::error_code ec;
    fs::file_status status = fs::symlink_status(at, ec);
    if (fs::is_symlink(status))
      throw Error(
          fmt::format("{}: a symbolic link stands here; extract does not follow it", at.string()));
    bool last = std::next(it) == relative.end();
    if (last) {
      if (fs::is_directory(status))
        throw Error(fmt::format("{}: a folder stands where a file goes", at.string()));
      return;
    }
    if (!fs::exists(status) && !fs::create_directory(at, ec) && ec)
      throw Error(fmt::format("{}: cannot create the folder: {}", at.string(), ec.message()));
    if (!fs::is_directory(fs::symlink_status(at, ec)))
      throw Error(fmt::format("{}: a file stands where a folder goes", at.string()));
  }
}

class Extractor {
 public:
  Extractor(const Installer& in, const fs::path& folder, int code_page)
      : in_(in), folder_(folder), code_page_(code_page) {}

  // All names are settled before a single byte is written.
  void plan() {
    for (const PayloadFileEntry& file : in_.files) {
      std::optional<fs::path> path = host_path(folder_, file.name, code_page_);
      if (!path)
        throw Error(fmt::format("{}: the name '{}' has no safe form on this system",
                                in_.file.string(), shown_text(file.name, code_page_)));
      paths_.push_back(*path);
    }
  }

  FileCutter::Handlers handlers() {
    return {[this](const PayloadFileEntry&) { open(); },
            [this](std::span<const uint8_t> bytes) { write(bytes); },
            [this](const PayloadFileEntry& file, uint32_t check) { close(file, check); }};
  }

  // A file the stream left unfinished is not left behind.
  void abandon() {
    if (!out_.is_open()) return;
    out_.close();
    std::error_code ignored;
    fs::remove(paths_[current_], ignored);
  }

  std::vector<std::string> problems;

 private:
  void open() {
    const fs::path& path = paths_[current_];
    prepare_path(folder_, path);
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_)
      throw Error(fmt::format("{}: cannot create: {}", path.string(), std::strerror(errno)));
  }

  void write(std::span<const uint8_t> bytes) {
    out_.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out_) throw Error(fmt::format("{}: write failed", paths_[current_].string()));
  }

  void close(const PayloadFileEntry& file, uint32_t check) {
    const fs::path& path = paths_[current_++];
    out_.close();
    if (!out_) throw Error(fmt::format("{}: write failed", path.string()));
    if (check != file.check) {
      problems.push_back(mismatch(file, check, code_page_) + "; the file is removed");
      std::error_code ignored;
      fs::remove(path, ignored);
      return;
    }
    host::write_file_times(path, file.times);
  }

  const Installer& in_;
  fs::path folder_;
  int code_page_;
  std::vector<fs::path> paths_;
  size_t current_ = 0;
  std::ofstream out_;
};

}  // namespace

std::vector<std::string> verify_installer(const Installer& in, int code_page, Console& console) {
  std::vector<std::string> problems;
  FileCutter cutter(in.directory(), in.files,
                      {nullptr, nullptr, [&](const PayloadFileEntry& file, uint32_t check) {
                         if (check != file.check)
                           problems.push_back(mismatch(file, check, code_page));
                       }});
  std::vector<std::string> shortfall = decode_payload(in, cutter, "verifying", code_page, console);
  problems.insert(problems.end(), shortfall.begin(), shortfall.end());
  return problems;
}

std::vector<std::string> extract_installer(const Installer& in, const fs::path& folder,
                                           int code_page, Console& console) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    throw Error(fmt::format("{}: cannot create the folder: {}", folder.string(), ec.message()));
  Extractor extractor(in, fs::absolute(folder), code_page);
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
