#pragma once
// Wine's text registry files (system.reg, user.reg, userdef.reg): reading them into a
// RegistryHive, writing a hive back byte for byte the way Wine writes it, and replacing a file on
// disk atomically so that a crash or a full disk never leaves a half-written registry behind.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/registry_hive.h"

namespace corvane {

// Parses the whole text into `hive` (which should be empty). `fileName` only labels errors.
// Returns true when every line was understood. Otherwise it returns false, marks the hive
// readOnly and sets parseError to "file:line: what" for the first problem, but keeps every line
// Wine itself would have kept, so the hive is still usable for reading.
[[nodiscard]] bool ParseHive(std::string_view text, std::string_view fileName, RegistryHive& hive);

// The hive in Wine's file format, exactly as Wine would save it.
[[nodiscard]] std::string SerializeHive(const RegistryHive& hive);

enum class HiveLoadResult {
  Loaded,      // read and parsed completely
  Missing,     // no such file (ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND)
  Unreadable,  // exists but could not be read; the last error says why; hive left untouched
  Damaged,     // read, but did not parse completely: the hive is filled as far as it could be
               // read and marked readOnly (ERROR_BADDB)
};

// Reads and parses a hive file; sets the last error on anything but Loaded.
[[nodiscard]] HiveLoadResult LoadHiveFile(const std::filesystem::path& path, RegistryHive& hive);

// The steps of an atomic file replacement, in order.
enum class AtomicWriteStep {
  CreateTemp,  // create the temporary file beside the target
  Write,       // write the bytes
  SyncFile,    // fsync the temporary file
  Rename,      // rename it over the target
  SyncFolder,  // fsync the folder so the rename itself is durable
};

// Called before each step; a non-zero errno makes that step fail as if the system had refused it.
// Only tests set one, to prove that every failure leaves the old file whole.
using AtomicWriteFault = std::function<int(AtomicWriteStep)>;

// Replaces `path` with `bytes`: a temporary file in the same folder, all bytes written, fsync,
// rename over the target, fsync of the folder. The new file keeps the old one's owner, group and
// permissions (a new file takes its folder's owner and group). On failure the temporary file is
// removed, the old file is untouched, the last error is set and the answer is false. A failure
// of the final folder sync is reported although the new content is already in place. Temporary
// files a killed save of `path` left (".name.PID.N.tmp" of a process that is gone) are removed.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       const AtomicWriteFault& fault = {});

// Serializes and atomically writes the hive. A readOnly hive is refused (ERROR_WRITE_PROTECT).
[[nodiscard]] bool SaveHiveFile(const std::filesystem::path& path, const RegistryHive& hive,
                                const AtomicWriteFault& fault = {});

}  // namespace corvane
