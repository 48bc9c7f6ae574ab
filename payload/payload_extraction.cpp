#include "payload/payload_extraction.h"

#include "common/bounded_text.h"
#include "payload/archive_reader.h"
#include "payload/check_value.h"
#include "payload/decoder.h"
#include "payload/directory_rules.h"
#include "payload/extract_sink.h"
#include "payload/payload_messages.h"

static ExtractionResult failed(const char* why, const char** message) {
  close_installer_file();
  *message = why;
  return extraction_failed;
}

ExtractionResult extract_payload(const char* folder, const char** message) {
  const PayloadHeader& header = payload_header;
  if (check_directory(directory_buffer, header.directory_size, header.file_count,
                      header.total_size, text_length(folder)) != directory_ok)
    return failed(kCorruptedMessage, message);

  build_crc_table();
  start_extraction(folder, directory_buffer, header);
  DecodeResult result = decode_stream(next_payload_bytes, extract_write, header.total_size);
  // After a cancel the decoder reads zero bits, which may well form invalid
  // tables: only an uncancelled run can show a corrupted stream.
  bool cancelled = payload_stopped();
  if (result == decode_corrupt && !cancelled) fail_extraction(kCorruptedMessage);
  finish_extraction();
  close_installer_file();
  if (cancelled) return extraction_cancelled;
  if (extraction.remaining_bytes != 0) return failed(kIncompleteMessage, message);
  return extraction_complete;
}
