#include "tools/lume/stub/manifest_level.h"

#include <fmt/core.h>

#include <algorithm>
#include <vector>

#include "payload/archive_format.h"

namespace lume {

namespace {

// A name or value from the manifest as messages show it: printable ASCII
// as it is, any other byte as \xNN, so that no manifest reaches a terminal
// with control sequences.
std::string printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text)
    out += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : fmt::format("\\x{:02X}", c);
  return out;
}

// A reader of the XML that manifests are written in, strict where Windows'
// own reader is: one root element, every element closed in order, quoted
// attributes named once, only the five named and the numeric references.
// No document type declarations, which manifests never hold.
class ManifestReader {
 public:
  explicit ManifestReader(std::string_view text) : text_(text) {}

  ManifestLevel read() {
    ManifestLevel result;
    result.has_manifest = true;
    if (text_.starts_with("\xEF\xBB\xBF")) at_ = 3;
    if (!document()) {
      result.problem = fmt::format("line {}: {}", line(), problem_);
    } else if (level_.empty()) {
      result.level = ExecutionLevel::none;
    } else if (level_ == "requireAdministrator") {
      result.level = ExecutionLevel::administrator;
    } else if (level_ == "highestAvailable") {
      result.level = ExecutionLevel::highest_available;
    } else if (level_ == "asInvoker") {
      result.level = ExecutionLevel::as_invoker;
    } else {
      result.problem = fmt::format("the unknown execution level \"{}\"", printable(level_));
    }
    return result;
  }

 private:
  bool fail(std::string problem) {
    problem_ = std::move(problem);
    return false;
  }
  bool next_is(std::string_view s) const { return text_.substr(at_).starts_with(s); }
  int line() const {
    return 1 + int(std::count(text_.begin(), text_.begin() + std::ptrdiff_t(at_), '\n'));
  }
  void skip_blanks() {
    while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos)
      ++at_;
  }
  // Moves past the next `end`; false when the text ends before it.
  bool skip_past(std::string_view end) {
    size_t found = text_.find(end, at_);
    if (found == std::string_view::npos) return false;
    at_ = found + end.size();
    return true;
  }

  static bool name_char(unsigned char c, bool first) {
    bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    return letter || c == '_' || c == ':' || c >= 0x80 ||
           (!first && ((c >= '0' && c <= '9') || c == '.' || c == '-'));
  }
  bool name(std::string& out) {
    size_t start = at_;
    while (at_ < text_.size() && name_char(text_[at_], at_ == start)) ++at_;
    out = printable(text_.substr(start, at_ - start));
    return at_ > start || fail("a name is missing");
  }
  static std::string_view local(std::string_view qualified) {
    size_t colon = qualified.rfind(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
  }

  // Text up to stop, whose references must be well formed.
  bool characters(char stop, std::string* out) {
    while (at_ < text_.size() && text_[at_] != stop) {
      if (text_[at_] == '<') return fail("'<' inside an attribute's value");
      if (text_[at_] == '&') {
        size_t end = text_.find(';', at_);
        std::string_view reference =
            end == std::string_view::npos ? "" : text_.substr(at_ + 1, end - at_ - 1);
        bool numeric = reference.size() > 1 && reference[0] == '#' &&
                       reference.find_first_not_of(reference[1] == 'x' ? "0123456789abcdefABCDEF"
                                                                       : "0123456789",
                                                   reference[1] == 'x' ? 2 : 1) ==
                           std::string_view::npos &&
                       reference != "#x";
        if (!numeric && reference != "amp" && reference != "lt" && reference != "gt" &&
            reference != "quot" && reference != "apos")
          return fail("an '&' that starts no reference");
        if (out) *out += '&';  // the level's value holds none that matter
        at_ = end + 1;
        continue;
      }
      if (out) *out += text_[at_];
      ++at_;
    }
    return at_ < text_.size() || fail("the text ends inside an element");
  }

  bool start_tag() {
    ++at_;  // '<'
    std::string element;
    if (!name(element)) return false;
    if (open_.empty() && local(element) != "assembly")
      return fail(fmt::format("the root element is <{}>, not <assembly>", element));
    bool wanted = local(element) == "requestedExecutionLevel" && open_.size() == 4 &&
                  local(open_[1]) == "trustInfo" && local(open_[2]) == "security" &&
                  local(open_[3]) == "requestedPrivileges";
    std::vector<std::string> seen;
    for (;;) {
      size_t before = at_;
      skip_blanks();
      if (next_is("/>") || next_is(">")) break;
      std::string attribute, value;
      if (at_ == before) return fail(fmt::format("<{}> needs a blank before an attribute", element));
      if (!name(attribute)) return false;
      if (std::find(seen.begin(), seen.end(), attribute) != seen.end())
        return fail(fmt::format("<{}> names the attribute {} twice", element, attribute));
      seen.push_back(attribute);
      skip_blanks();
      if (!next_is("=")) return fail(fmt::format("the attribute {} has no value", attribute));
      ++at_;
      skip_blanks();
      if (!next_is("\"") && !next_is("'"))
        return fail(fmt::format("the value of {} is not in quotes", attribute));
      char quote = text_[at_++];
      if (!characters(quote, &value)) return false;
      ++at_;
      if (wanted && attribute == "level") level_ = value.empty() ? "(empty)" : value;
    }
    if (wanted && level_.empty()) return fail("requestedExecutionLevel names no level");
    if (next_is("/>")) {
      at_ += 2;
      return true;
    }
    ++at_;
    open_.push_back(element);
    return true;
  }

  bool end_tag() {
    at_ += 2;  // "</"
    std::string element;
    if (!name(element)) return false;
    skip_blanks();
    if (!next_is(">")) return fail(fmt::format("</{}> is not closed", element));
    ++at_;
    if (open_.empty() || open_.back() != element)
      return fail(fmt::format("</{}> closes {}", element,
                              open_.empty() ? "nothing" : "<" + open_.back() + ">"));
    open_.pop_back();
    return true;
  }

  bool document() {
    bool root_seen = false;
    while (at_ < text_.size()) {
      if (next_is("<!--")) {
        if (!skip_past("-->")) return fail("a comment is not closed");
      } else if (next_is("<?")) {
        if (!skip_past("?>")) return fail("a processing instruction is not closed");
      } else if (next_is("<![CDATA[")) {
        if (open_.empty()) return fail("character data outside the root element");
        if (!skip_past("]]>")) return fail("character data is not closed");
      } else if (next_is("<!")) {
        return fail("a declaration, which manifests do not hold");
      } else if (next_is("</")) {
        if (!end_tag()) return false;
      } else if (next_is("<")) {
        if (open_.empty() && root_seen) return fail("a second root element");
        root_seen = true;
        if (!start_tag()) return false;
      } else if (open_.empty()) {
        skip_blanks();
        if (at_ < text_.size() && text_[at_] != '<')
          return fail("text outside the root element");
      } else if (!characters('<', nullptr)) {
        return false;
      }
    }
    if (!open_.empty()) return fail(fmt::format("<{}> is not closed", open_.back()));
    return root_seen || fail("there is no root element");
  }

  std::string_view text_;
  size_t at_ = 0;
  std::vector<std::string> open_;  // the elements open around at_
  std::string level_;              // the level attribute, once read
  std::string problem_;
};

enum : uint32_t {
  kManifestType = 24,
  kManifestId = 1,  // the one the loader reads for a program
  kSubdirectory = 0x80000000,
  kDirectoryHeader = 16,
  kDirectoryEntry = 8,
};

// The file's bytes at an address of the loaded image; empty when no
// section's file bytes hold all count of them.
std::span<const uint8_t> at_address(std::span<const uint8_t> bytes, const PeImage& image,
                                    uint32_t address, uint32_t count) {
  for (const PeSection& s : image.sections) {
    if (address < s.virtual_address || uint64_t(address - s.virtual_address) + count > s.file_size)
      continue;
    const uint64_t from = uint64_t(s.file_offset) + (address - s.virtual_address);
    if (from + count <= bytes.size()) return bytes.subspan(size_t(from), count);
  }
  return {};
}

// The target of the entry named id (any, for nullopt) in the resource
// directory at offset `at` of the resources' root.
std::optional<uint32_t> entry_target(std::span<const uint8_t> root, uint32_t at,
                                     std::optional<uint32_t> id) {
  if (uint64_t(at) + kDirectoryHeader > root.size()) return std::nullopt;
  // The counts of named and of numbered entries, 16 bits each.
  const uint32_t counts = load_u32le(root.data() + at + 12);
  for (unsigned k = 0; k < (counts & 0xFFFF) + (counts >> 16); ++k) {
    const uint64_t entry = uint64_t(at) + kDirectoryHeader + uint64_t(k) * kDirectoryEntry;
    if (entry + kDirectoryEntry > root.size()) return std::nullopt;
    if (!id || load_u32le(root.data() + entry) == *id) return load_u32le(root.data() + entry + 4);
  }
  return std::nullopt;
}

}  // namespace

ManifestLevel level_in_manifest(std::string_view text) { return ManifestReader(text).read(); }

ManifestLevel requested_level(std::span<const uint8_t> bytes, const PeImage& image) {
  std::span<const uint8_t> root =
      at_address(bytes, image, image.resource_address, image.resource_size);
  std::optional<uint32_t> names = entry_target(root, 0, kManifestType);
  if (!names || !(*names & kSubdirectory)) return {};
  std::optional<uint32_t> languages = entry_target(root, *names & ~kSubdirectory, kManifestId);
  if (!languages || !(*languages & kSubdirectory)) return {};
  ManifestLevel damaged;
  damaged.has_manifest = true;
  damaged.problem = "its resource lies outside the file";
  std::optional<uint32_t> leaf = entry_target(root, *languages & ~kSubdirectory, std::nullopt);
  if (!leaf || (*leaf & kSubdirectory) || uint64_t(*leaf) + 8 > root.size()) return damaged;
  std::span<const uint8_t> text = at_address(bytes, image, load_u32le(root.data() + *leaf),
                                             load_u32le(root.data() + *leaf + 4));
  if (text.empty()) return damaged;
  return level_in_manifest(
      std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

std::string_view level_name(ExecutionLevel level) {
  switch (level) {
    case ExecutionLevel::administrator: return "administrator";
    case ExecutionLevel::highest_available: return "highest available";
    case ExecutionLevel::as_invoker: return "as invoker";
    case ExecutionLevel::none: break;
  }
  return "none";
}

std::string level_text(const ManifestLevel& manifest) {
  if (!manifest.has_manifest) return "none (no manifest)";
  if (!manifest.problem.empty())
    return fmt::format("none (the manifest does not parse: {})", manifest.problem);
  return std::string(level_name(manifest.level));
}

std::optional<std::string> level_problem(const ManifestLevel& manifest) {
  if (!manifest.has_manifest)
    return "it carries no manifest: Windows runs it without administrator rights and redirects "
           "what it writes into Program Files and HKEY_LOCAL_MACHINE";
  if (!manifest.problem.empty())
    return fmt::format("its manifest does not parse ({}): Windows refuses to start it",
                       manifest.problem);
  if (manifest.level == ExecutionLevel::none)
    return "its manifest requests no execution level: Windows runs it without administrator "
           "rights";
  return std::nullopt;
}

}  // namespace lume
