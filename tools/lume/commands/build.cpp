#include "tools/lume/commands/build.h"

#include <fmt/core.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "payload/archive_format.h"
#include "payload/check_value.h"
#include "tools/lume/archive/directory_writer.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/atomic_file.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/codec/encoder.h"
#include "tools/lume/codec/stream_encoder.h"
#include "tools/lume/host/host_system.h"
#include "tools/lume/project/payload_names.h"
#include "tools/lume/project/project_file.h"
#include "tools/lume/project/source_tree.h"
#include "tools/lume/stub/pe_image.h"
#include "tools/lume/stub/stub_patcher.h"
#include "uninstaller/uninstall_data.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

// The installer writes these two beside the payload's files; a payload file
// of the same name would overwrite the uninstaller or its open data file.
void refuse_installer_own_names(const std::vector<std::string>& names, const fs::path& source) {
  for (const std::string& name : names) {
    std::string folded = fold_case(name);
    if (folded == LUME_UNINSTALLER_NAME || folded == LUME_UNINSTALL_DATA_NAME)
      throw Error(fmt::format("{}: the installer writes a file of this name itself",
                              shown_path(source / name)));
  }
}

struct PayloadPlan {
  std::vector<SourceFile> files;
  std::vector<std::string> relative_names;  // UTF-8, "/" between folders
  std::vector<std::string> payload_names;   // code page, "\" between folders
  uint64_t total_size = 0;
};

// Enough of a program's start for the headers of any linker's output.
constexpr size_t kHeadersLookedAt = size_t(64) << 10;

// An installer built earlier and left in the source folder would otherwise
// ship inside the new one. Only a file that reads as a whole installer is
// left out, whatever stub it was made from; any other executable is the
// product's own. Only a program with the configuration section of lume's
// stubs is read whole, so that a product's large executables cost no
// memory here.
bool is_installer(const fs::path& path) {
  std::string problem;
  std::optional<PeImage> image =
      read_pe_image(host::read_file_start(path, kHeadersLookedAt), problem);
  if (!image) return false;
  try {
    config_section(*image, shown_path(path), "installer");
    read_installer(path, {});
    return true;
  } catch (const Error&) {
    return false;
  }
}

// An earlier build's output inside the source folder is no part of the
// product. Any other file there that the output would replace is refused
// later, as an input.
void leave_out_output(SourceTree& tree, const fs::path& output, Console& console) {
  std::error_code ec;
  fs::path target = fs::weakly_canonical(output, ec);
  if (ec) return;
  std::erase_if(tree.files, [&](const SourceFile& file) {
    std::error_code ignored;
    if (fs::weakly_canonical(file.path, ignored) != target || !is_installer(file.path))
      return false;
    console.warn(
        fmt::format("{}: left out; it is the installer being written", shown_path(file.path)));
    return true;
  });
}

void leave_out_installers(SourceTree& tree, Console& console) {
  std::erase_if(tree.files, [&](const SourceFile& file) {
    if (!is_installer(file.path)) return false;
    console.warn(fmt::format("left out: {} (an installer)", shown_path(file.path)));
    return true;
  });
}

PayloadPlan plan_payload(const Project& project, const fs::path& output, Console& console) {
  SourceTree tree = walk_source(project.source, ExcludePatterns(project.exclude));
  leave_out_output(tree, output, console);
  leave_out_installers(tree, console);
  for (const std::string& folder : tree.empty_folders)
    console.warn(
        fmt::format("{}: an empty folder; the installer carries files only, so it is left out",
                    shown_path(project.source / folder)));
  if (tree.files.empty())
    throw Error(fmt::format("{}: the source folder holds no files{}", shown_path(project.source),
                            project.exclude.empty() ? "" : " that are not excluded"));

  PayloadPlan plan;
  for (const SourceFile& file : tree.files) {
    plan.relative_names.push_back(file.relative);
    plan.payload_names.push_back(
        payload_name(file.relative, project.code_page, file.path.string()));
    // Direction controls are refused by payload_name; invisible ones may be meant.
    if (std::optional<HiddenCharacter> hidden =
            hidden_character(shown_path(file.path), file.relative))
      console.warn(hidden->message);
    plan.total_size += file.size;
  }
  refuse_case_collisions(plan.relative_names);
  refuse_installer_own_names(plan.relative_names, project.source);
  if (plan.total_size > codec::kMaxInputSize)
    throw Error(
        fmt::format("{}: the files add up to {} bytes; an installer holds less than 4 GiB "
                    "(at most {} bytes)",
                    shown_path(project.source), plan.total_size, codec::kMaxInputSize));
  uint64_t directory = directory_size_of(plan.payload_names);
  if (directory > kDirectoryBufferSize)
    throw Error(fmt::format(
        "{}: the directory of these {} files takes {} bytes; the installer "
        "holds at most {}",
        shown_path(project.source), tree.files.size(), directory, unsigned(kDirectoryBufferSize)));
  plan.files = std::move(tree.files);
  return plan;
}

// The output must replace nothing the build reads, under whatever name.
void refuse_output_among_inputs(const fs::path& output, const BuildRequest& request,
                                const std::vector<SourceFile>& sources) {
  std::error_code ec;
  if (!fs::exists(output, ec)) return;
  refuse_output_is_input(output, request.project_file, "the project file");
  refuse_output_is_input(output, request.stub, "the stub");
  for (const SourceFile& file : sources)
    refuse_output_is_input(output, file.path, "the source file " + shown_path(file.path));
}

// The directory entries as far as they are known before the contents are
// read: every check value comes with the stream.
std::vector<PayloadFileEntry> entries_of(const PayloadPlan& plan,
                                         const std::optional<uint64_t>& latest_time,
                                         size_t& clamped) {
  std::vector<PayloadFileEntry> entries;
  for (size_t k = 0; k < plan.files.size(); ++k) {
    PayloadFileEntry entry;
    entry.name = plan.payload_names[k];
    entry.size = uint32_t(plan.files[k].size);
    entry.times = plan.files[k].times;
    if (latest_time) {
      FileTimes before = entry.times;
      for (uint64_t* time : {&entry.times.creation, &entry.times.last_access,
                             &entry.times.last_write})
        *time = std::min(*time, *latest_time);
      clamped += entry.times != before;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

// Every file's contents, in payload order, through the compressor into out;
// each file's check value is taken on the way. Returns the stream's size.
uint64_t write_stream(const PayloadPlan& plan, const BuildRequest& request,
                      std::vector<PayloadFileEntry>& entries, AtomicFile& out,
                      Console& console) {
  build_crc_table();
  Progress progress(console.progress_style(), "compressing", plan.total_size);
  codec::EncodeOptions options;
  options.level = request.level;
  options.jobs = request.jobs;
  options.progress = [&](uint64_t done) { progress.update(done); };
  uint64_t stream_size = 0;
  codec::StreamEncoder encoder(options, [&](std::span<const uint8_t> bytes) {
    out.write(bytes);
    stream_size += bytes.size();
  });
  for (size_t k = 0; k < plan.files.size(); ++k) {
    uint32_t check = kCheckPreset;
    const SourceFile& file = plan.files[k];
    host::read_file_in_pieces(
        file.path, file.size,
        [&](std::span<const uint8_t> piece) {
          check = update_check(check, piece.data(), uint32_t(piece.size()));
          encoder.write(piece);
        },
        &file.identity);
    entries[k].check = check;
  }
  encoder.finish();
  progress.finish();
  return stream_size;
}

fs::path default_output(const Project& project) {
  std::string name = project.folder_name;
  std::replace(name.begin(), name.end(), '\\', '_');
  std::replace(name.begin(), name.end(), '/', '_');
  return fs::path(name + "Setup.exe");
}

}  // namespace

BuildResult build_installer(const BuildRequest& request, Console& console) {
  Project project = read_project(request.project_file);
  if (!host::code_page_usable(project.code_page))
    throw Error(fmt::format("{}: code page {} cannot be used: {}", shown_path(project.file),
                            project.code_page, host::kUnusableCodePage));
  fs::path output = request.output.empty() ? default_output(project) : request.output;
  refuse_unsafe_output(output);
  PayloadPlan plan = plan_payload(project, output, console);
  refuse_output_among_inputs(output, request, plan.files);

  std::vector<std::string> warnings;
  SlotValues slots = make_slot_values(project, plan.relative_names, warnings);
  for (const std::string& warning : warnings) console.warn(warning);

  std::vector<uint8_t> installer = host::read_whole_file(request.stub);
  patch_stub(installer, slots, shown_path(request.stub));

  BuildResult result;
  std::vector<PayloadFileEntry> entries =
      entries_of(plan, request.latest_time, result.files_clamped);
  // Its place is kept while the stream is written, and checked by the
  // directory rules before anything is compressed.
  std::vector<uint8_t> head = header_and_directory(entries);

  // Opened before compressing, which takes the time: an interrupted build
  // then has a temporary file to remove, and leaves nothing.
  AtomicFile out(output);
  out.write(installer);
  std::fpos_t head_place = out.here();
  out.write(head);
  uint64_t stream_size = write_stream(plan, request, entries, out, console);
  out.write_at(head_place, header_and_directory(entries));
  out.commit();

  result.output = output;
  result.file_count = entries.size();
  result.total_size = plan.total_size;
  result.installer_size = installer.size() + head.size() + stream_size;
  return result;
}

std::optional<uint64_t> latest_time_from_source_date_epoch(const char* value) {
  if (value == nullptr || *value == '\0') return std::nullopt;
  std::string_view text(value);
  // Up to the last second of the year 9999, far inside what a FILETIME holds.
  constexpr int64_t kLatest = 253402300799;
  int64_t seconds = -1;
  auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (problem != std::errc() || end != text.data() + text.size() || seconds < 0 ||
      seconds > kLatest || !std::isdigit(uint8_t(text[0])))
    throw Error(fmt::format("SOURCE_DATE_EPOCH: '{}' is no number of seconds since 1970 from 0 "
                            "to {}",
                            quoted_value(text), kLatest));
  return filetime_from_unix({seconds, 0});
}

}  // namespace lume
