#include "cleaners/modern/logins_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "cleaners/modern/logins_json.h"
#include "platform/file_handle.h"

namespace corvane {

namespace {

bool SameContent(const struct stat& a, const struct stat& b) {
  return SameFile(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Overwrites the old file's bytes with zeros, when it is still the file read and nothing else
// links to it.
void WipeOld(int folder, const std::string& name, const struct stat& seen) {
  FileHandle old(::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  struct stat now {};
  if (!old || !old.Status(&now) || !SameFile(now, seen) || !S_ISREG(now.st_mode) ||
      now.st_nlink != 1) {
    return;
  }
  const std::string zeros(static_cast<std::size_t>(now.st_size), '\0');
  if (old.Write(zeros.data(), zeros.size(), nullptr)) static_cast<void>(old.Sync());
}

}  // namespace

SqliteStatus LoginsFile::Read(std::string_view path, SqliteAccess access) {
  text_.clear();
  std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry) return SqliteStatus::Missing;
  folder_ = std::move(entry->folder);
  name_ = std::move(entry->name);
  struct stat status {};
  if (!folder_.Status(name_, &status)) return SqliteStatus::Missing;
  if (!S_ISREG(status.st_mode)) return SqliteStatus::Refused;
  // Non-blocking: a pipe put in its place since must not hang the open.
  FileHandle file(::openat(folder_.Descriptor(), name_.c_str(),
                           O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!file || !file.Status(&seen_)) return SqliteStatus::Failed;
  if (!SameFile(seen_, status) || !S_ISREG(seen_.st_mode)) return SqliteStatus::Refused;
  if (access == SqliteAccess::Change && seen_.st_nlink > 1) return SqliteStatus::Refused;
  if (static_cast<std::uint64_t>(seen_.st_size) > kMaxLoginsJson) return SqliteStatus::Failed;
  text_.resize(static_cast<std::size_t>(seen_.st_size));
  std::size_t read = 0;
  if (!file.Read(text_.data(), text_.size(), &read)) return SqliteStatus::Failed;
  text_.resize(read);
  return SqliteStatus::Ok;
}

SqliteStatus LoginsFile::Replace(std::string_view text) {
  if (!folder_) return SqliteStatus::Failed;
  const int folder = folder_.Descriptor();
  const std::string newName = name_ + ".corvane-new";
  ::unlinkat(folder, newName.c_str(), 0);  // left by a run that was killed half way
  FileHandle out(::openat(folder, newName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out) return SqliteStatus::Failed;
  const auto drop = [&](SqliteStatus status) {
    out.Close();
    ::unlinkat(folder, newName.c_str(), 0);
    return status;
  };
  // The owner first: changing it may clear the mode's set-id bits, which the mode then restores.
  if (::fchown(out.Descriptor(), seen_.st_uid, seen_.st_gid) != 0 &&
      (seen_.st_uid != ::geteuid() || seen_.st_gid != ::getegid())) {
    return drop(SqliteStatus::Failed);
  }
  if (::fchmod(out.Descriptor(), seen_.st_mode & 07777) != 0 ||
      !out.Write(text.data(), text.size(), nullptr) || !out.Sync()) {
    return drop(SqliteStatus::Failed);
  }
  struct stat now {};
  if (!folder_.Status(name_, &now) || !SameContent(now, seen_)) return drop(SqliteStatus::InUse);
  // Exchanged, the old file stays reachable under the new one's name, so the logins taken out
  // can be overwritten before its blocks are freed. Where the file system cannot exchange, a
  // plain rename still replaces the file in one step.
  const bool exchanged =
      ::renameat2(folder, newName.c_str(), folder, name_.c_str(), RENAME_EXCHANGE) == 0;
  if (!exchanged && ((errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) ||
                     ::renameat(folder, newName.c_str(), folder, name_.c_str()) != 0)) {
    return drop(SqliteStatus::Failed);
  }
  out.Close();
  // The rename must reach the disk before the old bytes go, or a crash could bring back a
  // zeroed file under the live name.
  static_cast<void>(::fsync(folder));
  if (exchanged) {
    WipeOld(folder, newName, seen_);
    ::unlinkat(folder, newName.c_str(), 0);
    static_cast<void>(::fsync(folder));
  }
  return SqliteStatus::Ok;
}

}  // namespace corvane
