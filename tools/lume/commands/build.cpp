#include "tools/lume/commands/build.h"

#include <fmt/core.h>

#include <algorithm>

#include "payload/archive_format.h"
#include "payload/check_value.h"
#include "tools/lume/archive/directory_writer.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/atomic_file.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/codec/encoder.h"
#include "tools/lume/host/host_system.h"
#include "tools/lume/project/payload_names.h"
#include "tools/lume/project/project_file.h"
#include "tools/lume/project/source_tree.h"
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

// An installer built earlier and left in the source folder would otherwise
// ship inside the new one. Only a file that reads as a whole installer is
// left out, whatever stub it was made from; any other executable is the
// product's own.
bool is_installer(const fs::path& path) {
  std::vector<uint8_t> start = host::read_file_start(path, 2);
  if (start.size() < 2 || start[0] != 'M' || start[1] != 'Z') return false;
  try {
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

// Every file's contents back to back, with their directory entries.
std::vector<uint8_t> read_contents(const PayloadPlan& plan,
                                   std::vector<PayloadFileEntry>& entries) {
  build_crc_table();
  std::vector<uint8_t> contents;
  contents.reserve(size_t(plan.total_size));
  for (size_t k = 0; k < plan.files.size(); ++k) {
    const SourceFile& file = plan.files[k];
    size_t start = contents.size();
    contents.resize(start + size_t(file.size));
    host::read_file_exactly(file.path, contents.data() + start, file.size, &file.identity);
    PayloadFileEntry entry;
    entry.name = plan.payload_names[k];
    entry.size = uint32_t(file.size);
    entry.check = update_check(kCheckPreset, contents.data() + start, uint32_t(file.size));
    entry.times = file.times;
    entries.push_back(std::move(entry));
  }
  return contents;
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

  std::vector<PayloadFileEntry> entries;
  std::vector<uint8_t> contents = read_contents(plan, entries);
  std::vector<uint8_t> head = header_and_directory(entries);

  // Opened before compressing, which takes the time: an interrupted build
  // then has a temporary file to remove, and leaves nothing.
  AtomicFile out(output);
  out.write(installer);
  out.write(head);
  Progress progress(console.progress_style(), "compressing", contents.size());
  codec::EncodeOptions options;
  options.level = request.level;
  options.progress = [&](uint64_t done) { progress.update(done); };
  std::vector<uint8_t> stream = codec::encode(contents, options);
  progress.update(contents.size());
  progress.finish();

  BuildResult result;
  result.output = output;
  out.write(stream);
  out.commit();
  result.file_count = entries.size();
  result.total_size = contents.size();
  result.installer_size = installer.size() + head.size() + stream.size();
  return result;
}

}  // namespace lume
