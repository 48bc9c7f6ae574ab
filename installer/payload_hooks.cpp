// What the payload's reader and sink ask of the installer (payload/payload_hooks.h).
#include "payload/payload_hooks.h"

#include <stdio.h>

#include "installer/config_block.h"
#include "installer/progress_dialog.h"
#include "installer/shared_state.h"
#include "uninstaller/uninstall_data.h"

long payload_offset() { return payload_offset_value(config.PayloadOffset); }

bool payload_paused() { return load_word(pause_flag) != 0; }

bool payload_cancelled() { return load_word(cancel_flag) != 0; }

void payload_file_begins(const char* name) { show_status_name(name); }

// The data file is closed before the box, so that it keeps the record of
// every file created so far without relying on the runtime to flush it
// when the process ends.
void payload_failed(const char* message) {
  if (uninstall_data_file != nullptr) fclose(uninstall_data_file);
  uninstall_data_file = nullptr;
  show_error(message);
  ExitProcess(1);
}
