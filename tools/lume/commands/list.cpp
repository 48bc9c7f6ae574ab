#include "tools/lume/commands/list.h"

#include <fmt/core.h>

#include <algorithm>
#include <optional>

#include "tools/lume/codec/decode.h"
#include "tools/lume/commands/shown_text.h"
#include "tools/lume/commands/verify.h"
#include "payload/directory_rules.h"
#include "tools/lume/host/file_time.h"

namespace lume {

namespace {

struct ShownRow {
  std::string link_name;
  std::string target;
  std::optional<std::string> arguments;
};

using TextOf = std::string (*)(std::string_view bytes, int code_page);

// Rows as shown_text shows them for people, as decoded_text for JSON.
std::vector<ShownRow> shown_rows(const std::vector<ShortcutRowValue>& rows, int code_page,
                                 TextOf text) {
  std::vector<ShownRow> out;
  for (const ShortcutRowValue& row : rows) {
    SplitField field = split_file_field(row.file_field);
    std::optional<std::string> arguments;
    if (field.arguments) arguments = text(*field.arguments, code_page);
    out.push_back({text(row.link_name, code_page), text(field.target, code_page), arguments});
  }
  return out;
}

std::string table_text(const char* name, const std::vector<ShownRow>& rows) {
  std::string out =
      rows.empty() ? fmt::format("  {:<19}(none)\n", name) : fmt::format("  {}\n", name);
  for (size_t k = 0; k < rows.size(); ++k) {
    out += fmt::format("    {:02}  {}  ->  {}", k, rows[k].link_name, rows[k].target);
    if (rows[k].arguments) out += fmt::format("  [arguments: {}]", *rows[k].arguments);
    out += '\n';
  }
  return out;
}

std::string table_json(const std::vector<ShownRow>& rows) {
  std::string out = "[";
  for (size_t k = 0; k < rows.size(); ++k) {
    out += fmt::format("{}\n    {{\"link_name\": {}, \"target\": {}, \"arguments\": {}}}",
                       k ? "," : "", json_string(rows[k].link_name), json_string(rows[k].target),
                       rows[k].arguments ? json_string(*rows[k].arguments) : "null");
  }
  return out + (rows.empty() ? "]" : "\n  ]");
}

uint64_t stream_size(const Installer& in) { return in.stream().size(); }

// The longest installation folder, its final backslash included, that leaves
// room for every name of the payload: the installer's folder dialog accepts
// no deeper one.
unsigned longest_install_folder(const Installer& in) {
  size_t longest_name = 0;
  for (const PayloadFileEntry& f : in.files) longest_name = std::max(longest_name, f.name.size());
  return longest_folder_for(unsigned(longest_name));
}

// Where the stream ends is known only by decoding it; nullopt when it is
// damaged.
std::optional<Behind> measured_behind(const Installer& in) {
  codec::DecodedStream decoded =
      codec::decode_measured(in.stream(), in.header.total_size, [](std::span<const uint8_t>) {});
  if (decoded.status != codec::StreamStatus::intact) return std::nullopt;
  return behind_stream(in, decoded.used);
}

std::string behind_json(const std::optional<Behind>& behind) {
  if (!behind) return R"({"kind": "unknown"})";
  const char* kind = behind->size == 0 ? "nothing" : behind->signature ? "signature" : "stray";
  return fmt::format(R"({{"kind": "{}", "offset": {}, "size": {}}})", kind, behind->offset,
                     behind->size);
}

}  // namespace

std::string list_text(const Installer& in, int code_page) {
  const SlotValues& v = in.slots.values;
  auto shown = [&](const std::string& bytes) { return shown_text(bytes, code_page); };
  std::string out = fmt::format("{}\n", without_controls(in.file.string()));
  out += fmt::format("  {:<19}{}\n", "PayloadOffset", shown(in.slots.payload_offset));
  out += fmt::format("  {:<19}{}\n", "AppTitle", shown(v.app_title));
  out += fmt::format("  {:<19}{}\n", "FolderName", shown(v.folder_name));
  out += fmt::format("  {:<19}{}\n", "GroupName", shown(v.group_name));
  out += fmt::format("  {:<19}{}\n", "RunAfterInstall",
                     v.run_after_install.empty() ? "(nothing)" : shown(v.run_after_install));
  out += table_text("StartMenuShortcuts", shown_rows(v.start_menu, code_page, shown_text));
  out += table_text("DesktopShortcuts", shown_rows(v.desktop, code_page, shown_text));
  out += fmt::format("Payload: {} files, {} bytes; directory {} bytes; stream {} bytes\n",
                     in.header.file_count, in.header.total_size, in.header.directory_size,
                     stream_size(in));
  out += fmt::format("  Longest installation folder: {} characters, its final backslash included\n",
                     longest_install_folder(in));
  out += fmt::format("  {:>10}  {:8}  {:19}  {:19}  {:19}  {}\n", "Size", "Check", "Created",
                     "Last access", "Last write", "Name");
  for (const PayloadFileEntry& f : in.files) {
    out += fmt::format("  {:>10}  {:08X}  {}  {}  {}  {}\n", f.size, f.check,
                       filetime_date(f.times.creation), filetime_date(f.times.last_access),
                       filetime_date(f.times.last_write), shown(f.name));
  }
  std::optional<Behind> behind = measured_behind(in);
  out += fmt::format("Behind the stream: {}\n",
                     behind ? behind_text(*behind) : "unknown (the stream is damaged)");
  return out;
}

std::string list_json(const Installer& in, int code_page) {
  const SlotValues& v = in.slots.values;
  auto str = [&](const std::string& bytes) { return json_string(decoded_text(bytes, code_page)); };
  std::string out = "{\n";
  out += fmt::format("  \"file\": {},\n", json_string(in.file.string()));
  out += fmt::format("  \"code_page\": {},\n", code_page);
  out += fmt::format("  \"payload_offset\": {},\n", in.payload_offset);
  out += fmt::format("  \"app_title\": {},\n", str(v.app_title));
  out += fmt::format("  \"folder_name\": {},\n", str(v.folder_name));
  out += fmt::format("  \"group_name\": {},\n", str(v.group_name));
  out += fmt::format("  \"run_after_install\": {},\n", str(v.run_after_install));
  out += fmt::format("  \"start_menu_shortcuts\": {},\n",
                     table_json(shown_rows(v.start_menu, code_page, decoded_text)));
  out += fmt::format("  \"desktop_shortcuts\": {},\n",
                     table_json(shown_rows(v.desktop, code_page, decoded_text)));
  out += fmt::format("  \"file_count\": {},\n  \"total_size\": {},\n", in.header.file_count,
                     in.header.total_size);
  out += fmt::format("  \"directory_size\": {},\n  \"stream_size\": {},\n",
                     in.header.directory_size, stream_size(in));
  out += fmt::format("  \"longest_install_folder\": {},\n", longest_install_folder(in));
  out += "  \"files\": [";
  for (size_t k = 0; k < in.files.size(); ++k) {
    const PayloadFileEntry& f = in.files[k];
    out += fmt::format(
        "{}\n    {{\"name\": {}, \"size\": {}, \"check\": \"{:08X}\", \"creation_time\": \"{}\", "
        "\"last_access_time\": \"{}\", \"last_write_time\": \"{}\"}}",
        k ? "," : "", str(f.name), f.size, f.check, filetime_iso(f.times.creation),
        filetime_iso(f.times.last_access), filetime_iso(f.times.last_write));
  }
  out += in.files.empty() ? "],\n" : "\n  ],\n";
  out += fmt::format("  \"behind_stream\": {}\n}}\n", behind_json(measured_behind(in)));
  return out;
}

}  // namespace lume
