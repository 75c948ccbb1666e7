#include "cleaners/mozilla/cookie_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/trace_log.h"
#include "cleaners/mozilla/domain_count.h"
#include "engine/erase_fault.h"
#include "engine/waip_file.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace corvane {

namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
constexpr std::string_view kCookieFileName = "cookies.txt";

std::string_view TrimDomain(std::string_view field) {
  if (field.starts_with('.')) return field.substr(1);
  if (field.starts_with("www.") || field.starts_with("ftp.")) return field.substr(4);
  return field;
}

bool IsCleanText(std::string_view text) {
  for (char c : text) {
    if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) {
      return text.find('\0') == std::string_view::npos && SanitizeUtf8(text) == text;
    }
  }
  return true;
}

// The key of a domain field; a view of the field itself when it is clean UTF-8, else of
// `storage`.
// The text as a page shows it: bytes that are not UTF-8, and NULs, read as U+FFFD.
std::string_view ShownView(std::string_view text, std::string& storage) {
  if (IsCleanText(text)) return text;
  storage.clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t c = DecodeUtf8(text, pos);
    AppendUtf8(storage, c == 0 ? U'\uFFFD' : c);
  }
  return storage;
}

std::string_view DomainKeyView(std::string_view field, std::string& storage) {
  return ShownView(TrimDomain(field), storage);
}

// Splits the bytes of a cookies.txt into lines, asks `judge` about each cookie line (with its
// domain field) whether it stays, and hands every byte that stays to `emit`, in order, in as few
// pieces as it can. Lines may run over any number of blocks.
template <typename Judge, typename Emit>
class CookieLineFilter {
 public:
  CookieLineFilter(Judge& judge, Emit& emit) : judge_(judge), emit_(emit) {}

  void Feed(std::string_view block) {
    const char* data = block.data();
    const std::size_t size = block.size();
    std::size_t pos = 0;
    std::size_t keepFrom = 0;  // start of the bytes that stay and are not handed on yet
    const auto flush = [&](std::size_t from, std::size_t to) {
      if (to > from) emit_(block.substr(from, to - from));
    };
    while (pos < size) {
      const auto* newline = static_cast<const char*>(std::memchr(data + pos, '\n', size - pos));
      const std::size_t lineEnd =
          newline != nullptr ? static_cast<std::size_t>(newline - data) : size;
      const std::size_t next = newline != nullptr ? lineEnd + 1 : size;
      if (mode_ == Mode::Keep || mode_ == Mode::Drop) {  // the rest of a judged line
        if (mode_ == Mode::Drop) {
          flush(keepFrom, pos);
          keepFrom = next;
        }
        if (newline != nullptr) mode_ = Mode::LineStart;
        pos = next;
        continue;
      }
      const std::size_t room = kMaxCookieDomain + 1 - head_.size();
      const auto* tab =
          static_cast<const char*>(std::memchr(data + pos, '\t', std::min(lineEnd - pos, room)));
      if (tab == nullptr && newline == nullptr && size - pos < room) {
        // The line goes on in the next block before it can be judged.
        if (mode_ == Mode::LineStart) flush(keepFrom, pos);
        head_.append(data + pos, size - pos);
        mode_ = Mode::Head;
        keepFrom = size;
        pos = size;
        break;
      }
      const std::size_t fieldEnd = tab != nullptr ? static_cast<std::size_t>(tab - data) : pos;
      bool keep;
      if (mode_ == Mode::Head) {
        std::string field = head_;
        field.append(data + pos, fieldEnd - pos);
        keep = Keeps(field, tab != nullptr);
        if (keep) emit_(std::string_view(head_));  // its rest follows from the block's start
      } else {
        keep = Keeps(block.substr(pos, fieldEnd - pos), tab != nullptr);
      }
      if (!keep) {
        flush(keepFrom, mode_ == Mode::Head ? 0 : pos);
        keepFrom = next;
      }
      head_.clear();
      mode_ = newline != nullptr ? Mode::LineStart : (keep ? Mode::Keep : Mode::Drop);
      pos = next;
    }
    flush(keepFrom, size);
  }

  // The end of the file: a last line still unjudged has no tab, so it stays.
  void Finish() {
    if (mode_ == Mode::Head) emit_(std::string_view(head_));
    head_.clear();
    mode_ = Mode::LineStart;
  }

 private:
  enum class Mode { LineStart, Head, Keep, Drop };

  // Whether the line stays; `field` is its text before the first tab when it has one.
  bool Keeps(std::string_view field, bool hasTab) {
    if (!hasTab || field.size() > kMaxCookieDomain) return true;
    if (field.starts_with('\r')) return true;
    if (field.starts_with('#')) {
      if (!field.starts_with(kHttpOnlyPrefix)) return true;
      field.remove_prefix(kHttpOnlyPrefix.size());
    }
    return judge_(field);
  }

  Judge& judge_;
  Emit& emit_;
  Mode mode_ = Mode::LineStart;
  std::string head_;  // the bytes of a line that began in an earlier block, while unjudged
};

// Reads the whole file through the filter. False when a read failed.
template <typename Judge, typename Emit>
bool FilterFile(FileHandle& file, Judge& judge, Emit& emit) {
  CookieLineFilter<Judge, Emit> filter(judge, emit);
  std::string block(kBlock, '\0');
  for (;;) {
    std::size_t read = 0;
    if (!file.Read(block.data(), kBlock, &read)) return false;
    filter.Feed(std::string_view(block.data(), read));
    if (read < kBlock) break;
  }
  filter.Finish();
  return true;
}

// Buffered writes to the new file; the first failure is kept and later writes are skipped.
class NewFileWriter {
 public:
  NewFileWriter(FileHandle& file, std::string_view path) : file_(file), path_(path) {
    buffer_.reserve(kBlock);
  }

  void Put(std::string_view bytes) {
    if (!ok_) return;
    if (buffer_.size() + bytes.size() > kBlock) (void)Flush();
    if (bytes.size() >= kBlock) {
      Write(bytes);
    } else {
      buffer_.append(bytes);
    }
  }
  [[nodiscard]] bool Flush() {
    if (ok_ && !buffer_.empty()) Write(buffer_);
    buffer_.clear();
    return ok_;
  }

 private:
  void Write(std::string_view bytes) {
    if (InjectedEraseFault(EraseStep::Write, path_) != ERROR_SUCCESS ||
        !file_.Write(bytes.data(), bytes.size(), nullptr)) {
      ok_ = false;
    }
  }

  FileHandle& file_;
  std::string_view path_;
  std::string buffer_;
  bool ok_ = true;
};

void TraceUpdate(std::string_view what, const std::string& path) {
  HalvikTrace("UpdateNetscapeCookies: " + std::string(what) + path +
              " Error code:" + std::to_string(GetLastError()) + "\n");
}

bool RenameUnsupported(int error) {
  return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

}  // namespace

std::string CookieDomainKey(std::string_view field) {
  std::string storage;
  return std::string(DomainKeyView(field, storage));
}

bool CountCookieFile(FileHandle& file, BrowserScanResult& result) {
  std::string lastField;
  DomainRecord* last = nullptr;
  std::string storage;
  auto count = [&](std::string_view field) {
    // Cookies of one domain usually stand together.
    if (last == nullptr || field != lastField) {
      last = &FindOrAddDomain(result, DomainKeyView(field, storage));
      lastField.assign(field);
    }
    CountShownEntry(*last, [&] {
      std::string shown;
      return std::string(ShownView(field, shown));
    });
    return true;
  };
  auto ignore = [](std::string_view) {};
  return FilterFile(file, count, ignore);
}

CookieFileUpdate UpdateCookieFile(const ProfileFolder& profile, const BrowserScanResult& result,
                                  Overwrite overwrite) {
  CookieFileUpdate update;
  const std::string path = profile.Path() + std::string(kCookieFileName);
  const std::optional<std::string> name = profile.FindName(kCookieFileName);
  FileHandle in = name ? profile.OpenFile(*name) : FileHandle();
  if (!in) {
    update.ok = GetLastError() == ERROR_FILE_NOT_FOUND;  // no cookies: nothing to do
    if (!update.ok) TraceUpdate("unable open file:", path);
    return update;
  }
  struct stat old;
  if (::fstat(in.Descriptor(), &old) != 0) {
    SetLastErrorFromErrno(errno);
    TraceUpdate("unable open file:", path);
    return update;
  }
  // A read-only file is one the user keeps as it is, as Windows would refuse to write it.
  if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    TraceUpdate("overwrite file:", path);
    return update;
  }

  const int folder = profile.Descriptor();
  const std::string newName = *name + ".corvane-new";
  const std::string oldName = *name + ".corvane-old";
  // Left by a run that was killed half way: the live file is whole either way.
  ::unlinkat(folder, newName.c_str(), 0);
  ::unlinkat(folder, oldName.c_str(), 0);
  FileHandle out(::openat(folder, newName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          old.st_mode & 0777));
  if (!out) {
    SetLastErrorFromErrno(errno);
    TraceUpdate("overwrite file:", path);
    return update;
  }
  (void)::fchmod(out.Descriptor(), old.st_mode & 07777);
  const auto dropNew = [&] {
    const DWORD error = GetLastError();
    out.Close();
    ::unlinkat(folder, newName.c_str(), 0);
    SetLastError(error);
  };

  std::uint32_t removed = 0;
  std::string lastField;
  bool lastKeep = true;
  bool haveLast = false;
  std::string storage;
  auto judge = [&](std::string_view field) {
    if (!haveLast || field != lastField) {
      const auto found = result.domains.find(DomainKeyView(field, storage));
      lastKeep = found != result.domains.end() && found->second.status != DomainStatus::Selected;
      lastField.assign(field);
      haveLast = true;
    }
    if (!lastKeep) ++removed;
    return lastKeep;
  };
  NewFileWriter writer(out, path);
  auto emit = [&](std::string_view bytes) { writer.Put(bytes); };
  if (!FilterFile(in, judge, emit)) {
    TraceUpdate("Error in file", path);
    dropNew();
    return update;
  }
  if (!writer.Flush() || !out.Sync()) {
    TraceUpdate("overwrite file:", path);
    dropNew();
    return update;
  }
  if (removed == 0) {  // the file stays exactly as it is
    dropNew();
    update.ok = true;
    return update;
  }
  if (InjectedEraseFault(EraseStep::Replace, path) != ERROR_SUCCESS) {
    TraceUpdate("overwrite file:", path);
    dropNew();
    return update;
  }
  out.Close();

  // Put the new file in the old one's place in one step. With overwrite on, the old file is
  // kept apart under a name of its own (exchanged, or linked first where the file system cannot
  // exchange) so its bytes can be overwritten once the new file is safe.
  std::optional<std::string> oldBytesAt;
  bool replaced = false;
  if (overwrite == Overwrite::On) {
    if (::renameat2(folder, newName.c_str(), folder, name->c_str(), RENAME_EXCHANGE) == 0) {
      oldBytesAt = newName;
      replaced = true;
    } else if (RenameUnsupported(errno) &&
               ::linkat(folder, name->c_str(), folder, oldName.c_str(), 0) == 0) {
      oldBytesAt = oldName;
    }
  }
  if (!replaced) {
    if (::renameat(folder, newName.c_str(), folder, name->c_str()) != 0) {
      const int error = errno;
      if (oldBytesAt) ::unlinkat(folder, oldName.c_str(), 0);
      oldBytesAt.reset();
      SetLastErrorFromErrno(error);
      if (error == ENOENT) {
        // Gone since it was read: nothing left to erase in it.
        dropNew();
        update.ok = true;
        return update;
      }
      TraceUpdate("overwrite file:", path);
      dropNew();
      return update;
    }
  }
  update.removed = removed;
  update.ok = true;
  if (overwrite == Overwrite::Off) return update;

  struct stat now;
  if (!oldBytesAt) {
    SetLastError(ERROR_NOT_SUPPORTED);  // no way to keep the old bytes apart here
    update.ok = false;
  } else if (::fstat(in.Descriptor(), &now) != 0 || now.st_nlink > 1) {
    // Another name still shows these bytes: overwriting them would change that file too.
    SetLastError(ERROR_ACCESS_DENIED);
    update.ok = false;
  } else if (WaipFile(profile.Path() + *oldBytesAt, WipePattern::WipeRandom, {}) == 0 &&
             GetLastError() != ERROR_FILE_NOT_FOUND) {
    update.ok = false;
  }
  if (!update.ok) TraceUpdate("unable waip file:", path);
  if (oldBytesAt) ::unlinkat(folder, oldBytesAt->c_str(), 0);
  return update;
}

}  // namespace corvane
