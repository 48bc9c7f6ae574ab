#include "installer/install_folder.h"

#include "common/bounded_text.h"
#include "common/system_paths.h"
#include "payload/directory_rules.h"

FolderProblem install_folder_form(char* out, const char* typed, unsigned longest_name) {
  out[0] = 0;
  if (typed[0] == 0) return folder_empty;
  if (!full_path(out, typed) ||
      (!ends_with_backslash(out) && !append_text(out, kPathCapacity, "\\"))) {
    out[0] = 0;
    return folder_too_long;
  }
  if (text_length(out) > longest_folder_for(longest_name)) {
    out[0] = 0;
    return folder_no_room;
  }
  return folder_ok;
}
