#include "ui/template_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/program_folder.h"
#include "platform/text.h"

namespace corvane {

namespace {

// The whole content of a regular file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadRegularFile(const std::string& path) {
  // Non-blocking, so a FIFO under a template's name cannot hang the page.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  std::string content;
  content.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno);
      ::close(fd);
      return std::nullopt;
    }
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

bool IsUnreservedInUri(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

std::string FileUri(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreservedInUri(byte)) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0x0F];
    }
  }
  return uri;
}

}  // namespace

std::string TemplateStore::Load(std::string_view relative) {
  const auto path = ProgramFilePath(relative);
  if (!path) return {};
  const auto content = ReadRegularFile(*path);
  if (!content) return {};
  return SanitizeUtf8(*content);
}

std::size_t TemplateStore::Replace(std::string& text, std::string_view placeholder,
                                   std::string_view value) {
  if (placeholder.empty()) return 0;
  std::size_t found = text.find(placeholder);
  if (found == std::string::npos) return 0;
  std::string out;
  out.reserve(text.size() + value.size());
  std::size_t copied = 0;
  std::size_t count = 0;
  while (found != std::string::npos) {
    out.append(text, copied, found - copied);
    out += value;
    copied = found + placeholder.size();
    ++count;
    found = text.find(placeholder, copied);
  }
  out.append(text, copied, std::string::npos);
  text = std::move(out);
  return count;
}

void TemplateStore::Fill(std::string& text, const Replacements& replacements) {
  for (const auto& [placeholder, value] : replacements) Replace(text, placeholder, value);
}

std::string TemplateStore::BuildList(std::string outer, std::string_view row,
                                     std::string_view listPlaceholder,
                                     std::span<const Replacements> rows) {
  std::string accumulator;
  for (const Replacements& replacements : rows) {
    std::string filled(row);
    Fill(filled, replacements);
    accumulator += filled;
  }
  Replace(outer, listPlaceholder, accumulator);
  return outer;
}

std::string TemplateStore::PageUrl(std::string_view pageName) {
  const auto path = ProgramFilePath("html/" + std::string(pageName));
  if (!path) return {};
  return FileUri(*path);
}

}  // namespace corvane
