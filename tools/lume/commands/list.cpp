#include "tools/lume/commands/list.h"

#include <fmt/core.h>

#include <optional>

#include "tools/lume/archive/payload_pass.h"
#include "tools/lume/base/text.h"
#include "tools/lume/host/file_time.h"
#include "tools/lume/host/shown_text.h"
#include "tools/lume/stub/slot_places.h"

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

// What marks a slot the installer reads on past: its text as shown runs
// into the slots behind it.
std::string run_on_mark(const SlotTexts& slots, const std::string& slot) {
  for (const RunOnSlot& r : slots.run_on)
    if (r.slot == slot)
      return fmt::format("  [{}: no terminator within its {} bytes, read on {}]", r.slot, r.width,
                         r.into);
  return "";
}

std::string table_text(const char* name, const std::vector<ShownRow>& rows,
                       const SlotTexts& slots) {
  std::string out =
      rows.empty() ? fmt::format("  {:<19}(none)\n", name) : fmt::format("  {}\n", name);
  for (size_t k = 0; k < rows.size(); ++k) {
    out += fmt::format("    {:02}  {}  ->  {}", k, rows[k].link_name, rows[k].target);
    if (rows[k].arguments) out += fmt::format("  [arguments: {}]", *rows[k].arguments);
    for (const char* field : {"LinkName", "FileField"})
      out += run_on_mark(slots, fmt::format("{} {:02} {}", name, k, field));
    out += '\n';
  }
  return out;
}

std::string run_on_json(const std::vector<RunOnSlot>& run_on) {
  std::string out = "[";
  for (size_t k = 0; k < run_on.size(); ++k)
    out += fmt::format(R"({}{{"slot": "{}", "width": {}}})", k ? ", " : "", run_on[k].slot,
                       run_on[k].width);
  return out + "]";
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

std::string behind_json(const std::optional<Behind>& behind) {
  if (!behind) return R"({"kind": "unknown"})";
  const char* kind = behind->size == 0               ? "nothing"
                     : behind->certificate_table ? "signature"
                                                 : "stray";
  // A certificate table's headers are checked, never what it certifies.
  return fmt::format(R"({{"kind": "{}", "offset": {}, "size": {}{}}})", kind, behind->offset,
                     behind->size, behind->certificate_table ? R"(, "validated": false)" : "");
}

}  // namespace

std::string list_text(const Installer& in, int code_page) {
  auto shown = [&](const std::string& bytes) { return shown_text(bytes, code_page); };
  std::string out = fmt::format("{}\n", shown_path(in.file));
  if (in.stub.empty())
    out += fmt::format("  Warning: {}; the block below is read where lume's own stubs keep it\n",
                       kUnknownStub);
  for (int id = 0; id < kConfigSlotCount; ++id) {
    const ConfigSlot& slot = kConfigSlots[id];
    const SlotValue& value = in.slots.values[id];
    if (slot.kind == slot_shortcut_rows) {
      out += table_text(slot.name, shown_rows(value.rows, code_page, shown_text), in.slots);
      continue;
    }
    // An empty RunAfterInstall runs nothing.
    const bool nothing = id == kRunAfterInstallSlot && value.text.empty();
    out += fmt::format("  {:<19}{}{}\n", slot.name, nothing ? "(nothing)" : shown(value.text),
                       run_on_mark(in.slots, slot.name));
  }
  out += fmt::format("Execution level: {}\n", level_text(in.manifest));
  out += fmt::format("Payload: {} files, {} bytes; directory {} bytes; stream {} bytes\n",
                     in.header.file_count, in.header.total_size, in.header.directory_size,
                     stream_size(in));
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
  auto str = [&](const std::string& bytes) { return json_string(decoded_text(bytes, code_page)); };
  std::string out = "{\n";
  out += fmt::format("  \"file\": {},\n", json_string(in.file.string()));
  out += fmt::format("  \"stub\": {},\n", in.stub.empty() ? "null" : json_string(in.stub));
  out += fmt::format("  \"code_page\": {},\n", code_page);
  for (int id = 0; id < kConfigSlotCount; ++id) {
    const ConfigSlot& slot = kConfigSlots[id];
    const SlotValue& value = in.slots.values[id];
    std::string json = str(value.text);
    if (slot.kind == slot_number) json = std::to_string(payload_offset_value(value.text.c_str()));
    if (slot.kind == slot_shortcut_rows)
      json = table_json(shown_rows(value.rows, code_page, decoded_text));
    out += fmt::format("  \"{}\": {},\n", snake_case(slot.name), json);
  }
  out += fmt::format("  \"run_on\": {},\n", run_on_json(in.slots.run_on));
  out += fmt::format("  \"execution_level\": \"{}\",\n", level_name(in.manifest.level));
  std::optional<std::string> manifest_problem = level_problem(in.manifest);
  out += fmt::format("  \"manifest_problem\": {},\n",
                     manifest_problem ? json_string(*manifest_problem) : "null");
  out += fmt::format("  \"file_count\": {},\n  \"total_size\": {},\n", in.header.file_count,
                     in.header.total_size);
  out += fmt::format("  \"directory_size\": {},\n  \"stream_size\": {},\n",
                     in.header.directory_size, stream_size(in));
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
