#include "tools/lume/cli/tool_commands.h"

#include <fmt/core.h>

#include <cstdlib>
#include <memory>

#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/archive/payload_pass.h"
#include "tools/lume/base/console.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/cli/carried_stubs.h"
#include "tools/lume/cli/jobs_option.h"
#include "tools/lume/cli/stub_location.h"
#include "tools/lume/codec/encoder.h"
#include "tools/lume/commands/build.h"
#include "tools/lume/commands/extract.h"
#include "tools/lume/commands/list.h"
#include "tools/lume/commands/verify.h"
#include "tools/lume/host/host_system.h"
#include "tools/lume/project/project_file.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

struct BuildOptions {
  std::string project = kDefaultProjectFile;
  std::string output;
  std::string arch = "x86";
  int level = codec::kDefaultLevel;
  int jobs = 0;
  std::string stub;
  bool quiet = false;
};

struct InspectOptions {
  std::string installer;
  std::string folder;
  std::string stub;
  int code_page = kDefaultCodePage;
  bool json = false;
  bool quiet = false;
  bool overwrite = false;
};

// A bar where someone watches standard error, plain lines where it goes to a
// file or a log.
Console console_for(bool quiet) {
  if (quiet) return Console(ProgressStyle::none);
  return Console(host::is_terminal(stderr) ? ProgressStyle::bar : ProgressStyle::lines);
}

// The stubs an installer may have been made from: those this lume carries,
// and the one given with --stub.
std::vector<KnownStub> known_stubs(const std::string& stub) {
  std::vector<KnownStub> known(carried_stubs().begin(), carried_stubs().end());
  if (!stub.empty()) known.push_back(describe_stub(host::read_whole_file(stub), shown_path(stub)));
  return known;
}

// "build DIR" reads DIR/lume.toml when there is one.
std::filesystem::path project_file(const std::string& given) {
  std::error_code ec;
  if (fs::is_directory(given, ec) && fs::exists(fs::path(given) / kDefaultProjectFile, ec))
    return fs::path(given) / kDefaultProjectFile;
  return given;
}

void run_build(const BuildOptions& o) {
  Console console = console_for(o.quiet);
  BuildRequest request;
  request.project_file = project_file(o.project);
  request.output = o.output;
  request.level = o.level;
  request.jobs = o.jobs;
  request.latest_time = latest_time_from_source_date_epoch(std::getenv("SOURCE_DATE_EPOCH"));
  Arch arch = o.arch == "x64" ? Arch::x64 : Arch::x86;
  request.stub = o.stub.empty() ? find_stub(arch) : std::filesystem::path(o.stub);
  BuildResult result = build_installer(request, console);
  console.say(fmt::format("{}: {} file{} of {} bytes in an installer of {} bytes",
                          shown_path(result.output), result.file_count,
                          result.file_count == 1 ? "" : "s", result.total_size,
                          result.installer_size));
  if (request.latest_time)
    console.say(fmt::format("times stored no later than SOURCE_DATE_EPOCH, {} UTC: {} file{} "
                            "brought back to it",
                            filetime_date(*request.latest_time), result.files_clamped,
                            result.files_clamped == 1 ? "" : "s"));
}

int report(const std::vector<std::string>& problems, const std::string& file, Console& console,
           const std::string& success) {
  const std::string shown = shown_path(file);
  for (const std::string& problem : problems)
    fmt::print(stderr, "lume: {}: {}\n", shown, escaped_text(problem, LineFeeds::keep));
  if (!problems.empty()) {
    fmt::print(stderr, "lume: {}: {} problem{}\n", shown, problems.size(),
               problems.size() == 1 ? "" : "s");
    return 1;
  }
  console.say(success);
  return 0;
}

void add_code_page_option(CLI::App* command, InspectOptions& o) {
  command
      ->add_option("--code-page", o.code_page,
                   "Windows code page of the installer's texts (default 1252)")
      ->check(CLI::Range(1, 65535))
      ->check(CLI::Validator(
          [](std::string& value) {
            int code_page = std::atoi(value.c_str());
            return host::code_page_usable(code_page)
                       ? std::string()
                       : fmt::format("code page {} cannot be used: {}", code_page,
                                     host::kUnusableCodePage);
          },
          "", "usable code page"));
}

void add_stub_option(CLI::App* command, InspectOptions& o) {
  command->add_option("--stub", o.stub,
                      "The stub the installer was made from, when it is not one this lume "
                      "carries");
}

}  // namespace

void add_tool_commands(CLI::App& app, int& exit_code) {
  auto build_options = std::make_shared<BuildOptions>();
  CLI::App* build = app.add_subcommand("build", "Build an installer from a project file");
  build->add_option("project", build_options->project,
                    "Project file, or a folder holding lume.toml (default lume.toml)");
  build
      ->add_option("-o,--output", build_options->output,
                   "Installer to write (default <folder>Setup.exe here)")
      ->check(CLI::Validator(
          [](std::string& value) { return value.empty() ? "the name is empty" : ""; }, "FILE"));
  build
      ->add_option("--arch", build_options->arch,
                   "x86: the PE32 product (default); x64: PE32+, for tests under wine64")
      ->check(CLI::IsMember({"x86", "x64"}));
  build
      ->add_option("--level", build_options->level,
                   fmt::format("Compression level, {} (fastest) to {} (default {})",
                               codec::kFastestLevel, codec::kMaxLevel, codec::kDefaultLevel))
      ->check(CLI::Range(codec::kFastestLevel, codec::kMaxLevel));
  add_jobs_option(build, build_options->jobs);
  build->add_option("--stub", build_options->stub, "Stub to use instead of the one found");
  build->add_flag("-q,--quiet", build_options->quiet, "No progress and no summary");
  build->callback([build_options] { run_build(*build_options); });

  auto list_options = std::make_shared<InspectOptions>();
  CLI::App* list = app.add_subcommand("list", "Print an installer's slots and file table");
  list->add_option("installer", list_options->installer, "Installer to read")->required();
  list->add_flag("--json", list_options->json, "One JSON object, for machines");
  add_code_page_option(list, *list_options);
  add_stub_option(list, *list_options);
  list->callback([list_options] {
    Installer in = read_installer(list_options->installer, known_stubs(list_options->stub));
    fmt::print("{}", list_options->json ? list_json(in, list_options->code_page)
                                        : list_text(in, list_options->code_page));
  });

  auto verify_options = std::make_shared<InspectOptions>();
  CLI::App* verify = app.add_subcommand("verify", "Decode an installer's payload and check it");
  verify->add_option("installer", verify_options->installer, "Installer to check")->required();
  add_code_page_option(verify, *verify_options);
  add_stub_option(verify, *verify_options);
  verify->add_flag("-q,--quiet", verify_options->quiet, "No progress and no summary");
  verify->callback([verify_options, &exit_code] {
    const InspectOptions& o = *verify_options;
    Console console = console_for(o.quiet);
    Installer in = read_installer(o.installer, known_stubs(o.stub));
    Behind behind;
    std::vector<std::string> problems = verify_installer(in, o.code_page, console, &behind);
    exit_code = report(problems, o.installer, console,
                       fmt::format("{}: {} files, {} bytes: all sound{}", shown_path(o.installer),
                                   in.files.size(), in.header.total_size,
                                   behind.certificate_table ? "; " + behind_text(behind) : ""));
  });

  auto extract_options = std::make_shared<InspectOptions>();
  CLI::App* extract =
      app.add_subcommand("extract", "Write an installer's files, with their times, into a folder");
  extract->add_option("installer", extract_options->installer, "Installer to read")->required();
  extract->add_option("folder", extract_options->folder, "Folder to write into")->required();
  add_code_page_option(extract, *extract_options);
  add_stub_option(extract, *extract_options);
  extract->add_flag("-q,--quiet", extract_options->quiet, "No progress and no summary");
  extract->add_flag("--overwrite", extract_options->overwrite,
                    "Replace files already in the folder, each once its new one checks");
  extract->callback([extract_options, &exit_code] {
    const InspectOptions& o = *extract_options;
    Console console = console_for(o.quiet);
    Installer in = read_installer(o.installer, known_stubs(o.stub));
    ExistingFiles existing = o.overwrite ? ExistingFiles::replace : ExistingFiles::refuse;
    exit_code = report(extract_installer(in, o.folder, o.code_page, console, existing),
                       o.installer, console,
                       fmt::format("{}: {} files written", shown_path(o.folder), in.files.size()));
  });
}

}  // namespace lume
