#include "tools/lume/base/atomic_file.h"

#include <fmt/core.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

// The registry of temporary files, read by a signal handler: fixed storage,
// and flags that are lock-free atomics. A slot is claimed, filled, and only
// then marked live, so the handler never sees half a path. One file is
// written at a time; the spare slots are for safety, not for use.
constexpr int kPartialSlots = 4;
constexpr size_t kPartialPathSize = 4096;  // the system's own limit on a path

struct PartialSlot {
  std::atomic<bool> claimed{false};
  std::atomic<bool> live{false};
  int folder = kCurrentFolder;
  char path[kPartialPathSize];
};
static_assert(std::atomic<bool>::is_always_lock_free);

PartialSlot partial_slots[kPartialSlots];


const char* kind_of(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory: return "a folder";
    case fs::file_type::block:
    case fs::file_type::character: return "a device";
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::socket: return "a socket";
    default: return "not a regular file";
  }
}

bool replaceable(fs::file_type type) {
  return type == fs::file_type::not_found || type == fs::file_type::regular;
}

}  // namespace

int register_partial(int folder, const std::string& path) {
  if (path.size() >= kPartialPathSize)
    throw Error(fmt::format("{}: the path is too long", path));
  for (int k = 0; k < kPartialSlots; ++k) {
    bool free = false;
    if (!partial_slots[k].claimed.compare_exchange_strong(free, true)) continue;
    partial_slots[k].folder = folder;
    std::memcpy(partial_slots[k].path, path.c_str(), path.size() + 1);
    partial_slots[k].live.store(true);
    return k;
  }
  throw Error(fmt::format("{}: too many files written at once", path));
}

void unregister_partial(int slot) {
  if (slot < 0) return;
  partial_slots[slot].live.store(false);
  partial_slots[slot].claimed.store(false);
}

void refuse_unsafe_output(const fs::path& target) {
  std::error_code ec;
  fs::file_status here = fs::symlink_status(target, ec);
  // A path that cannot be looked at cannot be created either; creating
  // it reports the reason.
  if (ec || replaceable(here.type())) return;
  if (here.type() != fs::file_type::symlink)
    throw Error(fmt::format("{}: is {}; the output can only be a new or a regular file",
                            shown_path(target), kind_of(here.type())));
  fs::file_status there = fs::status(target, ec);
  if (ec || replaceable(there.type())) return;
  throw Error(fmt::format("{}: is a symbolic link to {}; the output can only be a new or a "
                          "regular file",
                          shown_path(target), kind_of(there.type())));
}

void refuse_output_is_input(const fs::path& target, const fs::path& input, std::string_view what) {
  std::error_code ec;
  if (fs::equivalent(target, input, ec))
    throw Error(fmt::format("{}: is {}; the output would replace it", shown_path(target), what));
}

// A random part in the temporary name keeps two tools writing the same
// target apart; "x" makes sure neither takes over a file that exists. The
// name is registered before the file exists, so that no moment leaves the
// file unregistered.
AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {
  refuse_unsafe_output(target_);
  std::random_device random;
  int error = 0;
  for (int attempt = 0; attempt < 4 && file_ == nullptr; ++attempt) {
    temporary_ = target_;
    temporary_ += fmt::format(".{:08x}.partial", random());
    slot_ = register_partial(kCurrentFolder, temporary_.native());
    file_ = std::fopen(temporary_.c_str(), "wbx");
    if (file_ != nullptr) break;
    error = errno;
    unregister_partial(slot_);
    slot_ = -1;
    if (error != EEXIST) break;
  }
  if (file_ == nullptr) {
    temporary_.clear();
    throw Error(fmt::format("{}: cannot create: {}", shown_path(target_), std::strerror(error)));
  }
}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
  unregister_partial(slot_);
}

void AtomicFile::write_failed() const {
  throw Error(fmt::format("{}: write failed: {}", shown_path(target_), std::strerror(errno)));
}

void AtomicFile::write(std::span<const uint8_t> bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    write_failed();
}

std::fpos_t AtomicFile::here() {
  std::fpos_t place;
  if (std::fgetpos(file_, &place) != 0) write_failed();
  return place;
}

void AtomicFile::write_at(const std::fpos_t& place, std::span<const uint8_t> bytes) {
  if (std::fsetpos(file_, &place) != 0) write_failed();
  write(bytes);
  if (std::fseek(file_, 0, SEEK_END) != 0) write_failed();
}

void AtomicFile::close() {
  if (file_ == nullptr) return;
  int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) write_failed();
}

// A hard link is the one way to place a file that fails when the name is
// taken; where the file system has none, a look just before the rename.
void AtomicFile::keep_out_of_the_way() {
  std::error_code ec;
  fs::create_hard_link(temporary_, target_, ec);
  if (!ec) {
    fs::remove(temporary_, ec);
    return;
  }
  std::error_code looked;
  if (ec == std::errc::file_exists || fs::exists(fs::symlink_status(target_, looked)))
    throw Error(fmt::format("{}: a file of this name is already there", shown_path(target_)));
  fs::rename(temporary_, target_, ec);
  if (ec) throw Error(fmt::format("{}: cannot write: {}", shown_path(target_), ec.message()));
}

void AtomicFile::commit(Existing existing) {
  close();
  refuse_unsafe_output(target_);  // it may have appeared while the file was written
  if (existing == Existing::keep) {
    keep_out_of_the_way();
  } else {
    std::error_code ec;
    fs::rename(temporary_, target_, ec);
    if (ec) throw Error(fmt::format("{}: cannot write: {}", shown_path(target_), ec.message()));
  }
  temporary_.clear();
  unregister_partial(slot_);
  slot_ = -1;
}

void write_file_atomically(const fs::path& path, std::span<const uint8_t> bytes) {
  AtomicFile out(path);
  out.write(bytes);
  out.commit();
}

void visit_partial_files(void (*visit)(int folder, const char* path)) noexcept {
  for (PartialSlot& slot : partial_slots)
    if (slot.live.load()) visit(slot.folder, slot.path);
}

}  // namespace lume
