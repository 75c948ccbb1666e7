#include "engine/waip_file.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "engine/erase_fault.h"
#include "engine/erase_target.h"
#include "platform/file_handle.h"

namespace corvane {

namespace {

constexpr std::uint64_t kOnesChunk = 65'536;
constexpr std::uint64_t kRandomChunk = 256;
constexpr std::uint64_t kMidRandomChunk = 4'096;
// Files from 4,352 up to 69,631 bytes get the 4,096-byte random run; others the 256-byte one.
constexpr std::uint64_t kMidRandomFrom = 4'352;
constexpr std::uint64_t kMidRandomUpTo = 69'632;
// The pass asks whether to stop once a write finds this many bytes counted since the last ask.
constexpr std::uint64_t kCancelPollBytes = 150'000;
// One write carries up to this many bytes: a whole number of every pattern's run, so that writing
// a block lays down exactly the bytes that run-sized writes would.
constexpr std::uint64_t kBlockBytes = 1 << 20;

std::uint64_t RunLength(WipePattern pattern, std::uint64_t size) {
  if (pattern == WipePattern::WipeOnes) return kOnesChunk;
  return size >= kMidRandomFrom && size < kMidRandomUpTo ? kMidRandomChunk : kRandomChunk;
}

// The bytes one run-sized write puts on the disk. The random run is drawn as 16-bit units, one
// rand() % 256 each, written as little-endian bytes: so a random byte alternates with a zero, and
// as many values are drawn as the run has bytes although only the first half reach the disk.
std::vector<unsigned char> RunBytes(WipePattern pattern, std::uint64_t run, std::uint64_t size) {
  std::vector<unsigned char> bytes(run, 0);
  const std::uint64_t filled = std::min(run, size);
  if (pattern == WipePattern::WipeOnes) {
    std::fill_n(bytes.begin(), filled, 0xFF);
    return bytes;
  }
  for (std::uint64_t unit = 0; unit < filled; ++unit) {
    const auto value = static_cast<unsigned char>(std::rand() % 256);
    if (2 * unit < run) bytes[2 * unit] = value;
  }
  return bytes;
}

}  // namespace

std::uint64_t WaipFileIn(const FolderHandle& folder, std::string_view name, const struct stat* seen,
                         std::string_view path, WipePattern pattern, const CancelCheck& cancel) {
  if (InjectedEraseFault(EraseStep::OpenForOverwrite, path) != ERROR_SUCCESS) return 0;
  FileHandle file = OpenExistingFileIn(folder, name, FileAccess::ReadWrite, seen);
  if (!file) return 0;
  struct stat status;
  if (!file.Status(&status)) return 0;
  // Other names share these bytes (a hard link made since the file was listed, too): writing
  // over them would wipe files that are not ours to erase.
  if (status.st_nlink > 1) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  const auto size = static_cast<std::uint64_t>(status.st_size);
  if (size == 0) return 1;

  const std::uint64_t run = RunLength(pattern, size);
  const std::vector<unsigned char> runBytes = RunBytes(pattern, run, size);
  const std::uint64_t blockLength = std::min(kBlockBytes, (size + run - 1) / run * run);
  std::vector<unsigned char> block(blockLength);
  for (std::uint64_t at = 0; at < blockLength; at += run)
    std::copy(runBytes.begin(), runBytes.end(), block.begin() + static_cast<std::ptrdiff_t>(at));

  // Writing run by run, the pass would ask after every (ceil(150,000 / run) + 1)-th write: the
  // write that finds the count reached is not counted itself. Blocks end at those points so the
  // pass asks at the same bytes.
  const bool polling = size > kCancelPollBytes && cancel;
  const std::uint64_t pollPeriod = ((kCancelPollBytes + run - 1) / run + 1) * run;
  std::uint64_t nextPoll = pollPeriod;
  std::uint64_t written = 0;
  while (written < size) {
    std::uint64_t end = std::min(size, written + blockLength);
    if (polling) end = std::min(end, nextPoll);
    if (InjectedEraseFault(EraseStep::Write, path) != ERROR_SUCCESS) return 0;
    // A write that fails or moves nothing ends the pass: the file is not overwritten.
    if (!file.Write(block.data(), static_cast<std::size_t>(end - written), nullptr)) return 0;
    written = end;
    // The run-sized write that would have started at nextPoll - run has now been made.
    if (polling && written + run > nextPoll) {
      if (cancel()) return 0;
      nextPoll += pollPeriod;
    }
  }
  // A file deleted while its new pages are still in the cache loses them unwritten, and the old
  // bytes stay on the disk: the overwrite counts only once it is synced.
  if (InjectedEraseFault(EraseStep::Sync, path) != ERROR_SUCCESS || !file.Sync()) return 0;
  return size + 1;
}

std::uint64_t WaipFile(std::string_view path, WipePattern pattern, const CancelCheck& cancel) {
  const std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry) return 0;
  return WaipFileIn(entry->folder, entry->name, nullptr, path, pattern, cancel);
}

}  // namespace corvane
