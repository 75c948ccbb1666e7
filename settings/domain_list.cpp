#include "settings/domain_list.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "app/trace_log.h"
#include "platform/program_folder.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

bool IsReadableFile(std::string_view relative) {
  if (relative.empty()) return false;
  const auto path = ProgramFilePath(relative);
  if (!path) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(*path, ec)) return false;
  std::ifstream in(*path, std::ios::binary);
  return in.good();
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The lines of the text as the list reads them: cut at "\n", one "\r" before it dropped, the text
// after the last "\n" a line of its own when not empty.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    visit(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

}  // namespace

bool IsHostName(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
  });
}

DomainList::DomainList(std::string filePath, bool saveOnExit)
    : filePath_(std::move(filePath)), saveOnExit_(saveOnExit) {}

DomainList::~DomainList() {
  if (saveOnExit_) static_cast<void>(Save());
}

DomainList& DomainList::Blacklist() {
  static DomainList list(kBlacklistFile, false);
  [[maybe_unused]] static const bool loaded = list.Load();
  return list;
}

DomainList& DomainList::Whitelist() {
  static DomainList list(kWhitelistFile, true);
  [[maybe_unused]] static const bool loaded = list.Load();
  return list;
}

bool DomainList::Load(std::string_view path) {
  const std::lock_guard guard(lock_);
  if (!path.empty() && IsReadableFile(path)) {
    filePath_ = std::string(path);
  } else if (!IsReadableFile(filePath_)) {
    return false;
  }
  ParseLocked(TemplateStore::Load(filePath_));
  return true;
}

void DomainList::Parse(std::string_view text) {
  const std::lock_guard guard(lock_);
  ParseLocked(text);
}

void DomainList::ParseLocked(std::string_view text) {
  ForEachLine(text, [this](std::string_view line) {
    entries_.emplace_back(line);
    index_.emplace(line);
  });
}

bool DomainList::Save(std::string_view path) {
  const std::lock_guard guard(lock_);
  return SaveLocked(path);
}

bool DomainList::SaveLocked(std::string_view path) {
  const std::string target = path.empty() ? filePath_ : std::string(path);
  if (target.empty()) return false;
  const auto file = ProgramFilePath(target);
  if (!file) return false;
  std::string text;
  for (const std::string& entry : entries_) {
    if (entry.size() <= kMaxSavedEntryBytes) text += entry;
    text += "\r\n";
  }
  // Written beside the list and renamed over it, so a failed write never leaves half a list;
  // the name is the process's own, as two instances of the program may save at once.
  const std::string temporary = *file + ".new" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, *file, ec);
  if (ec) {
    std::remove(temporary.c_str());
    return false;
  }
  filePath_ = target;
  return true;
}

bool DomainList::Add(std::string_view domain) {
  const std::lock_guard guard(lock_);
  if (index_.contains(domain)) return false;
  const auto at = std::find_if(entries_.begin(), entries_.end(),
                               [domain](const std::string& entry) { return entry > domain; });
  entries_.emplace(at, domain);
  index_.emplace(domain);
  return true;
}

std::size_t DomainList::Remove(std::string_view domain) {
  const std::lock_guard guard(lock_);
  const auto found = index_.find(domain);
  if (found == index_.end()) return 0;
  index_.erase(found);
  return std::erase_if(entries_, [domain](const std::string& entry) { return entry == domain; });
}

void DomainList::Clear() {
  const std::lock_guard guard(lock_);
  entries_.clear();
  index_.clear();
}

bool DomainList::Contains(std::string_view domain) const {
  const std::lock_guard guard(lock_);
  return index_.contains(domain);
}

std::vector<std::string> DomainList::Entries() const {
  const std::lock_guard guard(lock_);
  return entries_;
}

std::size_t DomainList::Size() const {
  const std::lock_guard guard(lock_);
  return entries_.size();
}

std::string DomainList::FilePath() const {
  const std::lock_guard guard(lock_);
  return filePath_;
}

DomainListDownload DomainList::DownloadFrom(std::string url, const DownloadLimits& limits,
                                            Host* host) {
  if (url.empty()) {
    const std::lock_guard guard(lock_);
    url = sourceUrl_;
  }
  if (url.empty()) return DomainListDownload::NoAddress;
  const DownloadAnswer answer = InternetDownload(url, limits, host);
  if (!answer.Succeeded()) {
    HalvikTrace(
        "DomainList::DownloadFrom: " + url + ": " +
        (answer.error.empty() ? "HTTP status " + std::to_string(answer.status) : answer.error));
    return DomainListDownload::Failed;
  }
  // The first line is a header; every other line must be a host name (an empty one is allowed),
  // and there must be at least one. An error page, a captive portal's page or half a list is
  // never taken for the list.
  const std::string_view text = answer.body;
  const std::size_t headerEnd = text.find('\n');
  if (headerEnd == std::string_view::npos) {
    HalvikTrace("DomainList::DownloadFrom: no line feed in the answer of " + url);
    return DomainListDownload::NotAList;
  }
  std::size_t hosts = 0;
  bool valid = true;
  ForEachLine(text.substr(headerEnd + 1), [&](std::string_view line) {
    if (line.empty()) return;
    if (IsHostName(line)) {
      ++hosts;
    } else {
      valid = false;
    }
  });
  if (!valid || hosts == 0) {
    HalvikTrace("DomainList::DownloadFrom: the answer of " + url + " is not a list of domains");
    return DomainListDownload::NotAList;
  }

  const std::lock_guard guard(lock_);
  std::vector<std::string> oldEntries = std::move(entries_);
  Index oldIndex = std::move(index_);
  entries_.clear();
  index_.clear();
  ParseLocked(text.substr(headerEnd + 1));
  if (!SaveLocked({})) {
    entries_ = std::move(oldEntries);
    index_ = std::move(oldIndex);
    HalvikTrace("DomainList::DownloadFrom: cannot write " + filePath_);
    return DomainListDownload::NotSaved;
  }
  sourceUrl_ = url;
  return DomainListDownload::Replaced;
}

std::string BlacklistSourceUrl() {
  const std::string text = TemplateStore::Load(kBlacklistSourceFile);
  return std::string(Trim(text.substr(0, text.find('\n'))));
}

}  // namespace corvane
