// libFuzzer target: the URL cache container reader on arbitrary bytes. An index.dat is whatever
// the profile holds, copied from anywhere: no input may crash the reader, read outside the file or
// loop; and a container it lets us change must stay one Wine accepts after deletions and additions.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/urlcache/url_cache_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string problem;
  std::optional<corvane::UrlCacheFile> file = corvane::UrlCacheFile::Parse(
      std::string(reinterpret_cast<const char*>(data), size), &problem);
  if (!file) {
    if (problem.empty()) std::abort();
    return 0;
  }
  std::size_t text = 0;
  for (const corvane::UrlCacheRecord& record : file->Records()) {
    text += file->Text(record.url).size() + file->Text(record.localName).size() +
            file->Text(record.headerInfo).size() + file->Text(record.fileExtension).size() +
            file->DirectoryName(record.directory).size();
  }
  if (text > size * 4) std::abort();  // texts lie inside the file
  if (!file->IsWritable()) return 0;
  for (std::size_t i = 0; i < file->Records().size(); i += 2) file->Delete(i);
  corvane::UrlCacheNewEntry entry;
  entry.url = "http://fuzz.example/added";
  entry.localName = "added[0].htm";
  (void)file->Add(entry);
  (void)file->TakeChangedRanges();
  std::optional<corvane::UrlCacheFile> again =
      corvane::UrlCacheFile::Parse(file->Bytes(), &problem);
  if (!again || !again->IsWritable()) std::abort();
  return 0;
}
