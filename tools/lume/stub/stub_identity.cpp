#include "tools/lume/stub/stub_identity.h"

#include <openssl/evp.h>

#include <algorithm>
#include <vector>

#include "installer/config_block.h"
#include "tools/lume/base/error.h"
#include "tools/lume/stub/pe_image.h"
#include "tools/lume/stub/stub_patcher.h"

namespace lume {

namespace {

void clear(std::vector<uint8_t>& image, uint64_t at, uint64_t count) {
  if (at == 0 || at >= image.size()) return;
  std::fill_n(image.begin() + std::ptrdiff_t(at), std::min<uint64_t>(count, image.size() - at), 0);
}

// The digest of the first image_size bytes of file as stub describes them.
std::array<uint8_t, 32> image_digest(std::span<const uint8_t> file, const KnownStub& stub) {
  std::vector<uint8_t> image(file.begin(), file.begin() + std::ptrdiff_t(stub.image_size));
  clear(image, stub.block_offset, sizeof(ConfigBlock));
  clear(image, stub.checksum_at, 4);
  clear(image, stub.certificate_entry_at, 8);
  std::array<uint8_t, 32> digest{};
  unsigned length = 0;
  if (EVP_Digest(image.data(), image.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
      length != digest.size())
    throw Error("the system's SHA-256 failed");
  return digest;
}

}  // namespace

KnownStub describe_stub(std::span<const uint8_t> stub, const std::string& name) {
  KnownStub known;
  known.name = name;
  known.block_offset = find_config_block(stub, name);
  std::string problem;
  const std::optional<PeImage> image = read_pe_image(stub, problem);  // read by find_config_block
  known.image_size = stub.size();
  known.checksum_at = image->checksum_at;
  known.certificate_entry_at = image->certificate_entry_at;
  known.digest = image_digest(stub, known);
  return known;
}

const KnownStub* identify_stub(std::span<const uint8_t> file, std::span<const KnownStub> known) {
  for (const KnownStub& stub : known)
    if (file.size() >= stub.image_size && image_digest(file, stub) == stub.digest) return &stub;
  return nullptr;
}

}  // namespace lume
