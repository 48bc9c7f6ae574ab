// The execution level a program's manifest asks Windows for. An installer
// writes into Program Files and below HKEY_LOCAL_MACHINE: without
// "administrator" Windows runs it with the user's rights, and without any
// level at all also redirects those writes into a shadow store of the user.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/lume/stub/pe_image.h"

namespace lume {

enum class ExecutionLevel { none, as_invoker, highest_available, administrator };

struct ManifestLevel {
  bool has_manifest = false;
  ExecutionLevel level = ExecutionLevel::none;
  std::string problem;  // why the manifest does not parse; empty when it does
};

// What the manifest text asks for: well-formed XML with an <assembly> root,
// whose requestedExecutionLevel (in trustInfo, security,
// requestedPrivileges, whatever their namespace prefixes) names the level.
ManifestLevel level_in_manifest(std::string_view text);

// The same for the manifest the loader reads: resource type 24, id 1, its
// first language. No such resource: has_manifest stays false.
ManifestLevel requested_level(std::span<const uint8_t> bytes, const PeImage& image);

// For people: "administrator", "highest available", "as invoker", "none",
// and why there is none when the manifest is missing or does not parse.
std::string level_text(const ManifestLevel& manifest);

// For machines: the level alone.
std::string_view level_name(ExecutionLevel level);

// What verify reports: a manifest that is missing, does not parse or
// requests no level; nothing otherwise.
std::optional<std::string> level_problem(const ManifestLevel& manifest);

}  // namespace lume
