// Which stub an installer was made from. An installer is its stub's image
// with the configuration block written, the payload behind it, and, once
// signed, a certificate table behind that; signing also sets the header's
// check sum and certificate table entry. So an installer was made from a
// known stub when its first bytes are that stub's image in all but those
// bytes, which the digest leaves out. Section names or a second block
// elsewhere then cannot mislead: the block is where that stub's code reads it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace lume {

struct KnownStub {
  std::string name;  // "x86", "x64", or the file it was read from
  uint64_t image_size = 0;
  uint64_t block_offset = 0;  // the configuration block's file offset
  // The header fields signing sets; 0 when the image has none.
  uint64_t checksum_at = 0;
  uint64_t certificate_entry_at = 0;
  std::array<uint8_t, 32> digest{};  // SHA-256 of the image with those bytes as zeros
};

// An unconfigured stub, described for identify_stub. Throws lume::Error
// naming name, as find_config_block does, when it is no such stub.
KnownStub describe_stub(std::span<const uint8_t> stub, const std::string& name);

// The known stub whose image file begins with; null when there is none.
const KnownStub* identify_stub(std::span<const uint8_t> file, std::span<const KnownStub> known);

}  // namespace lume
