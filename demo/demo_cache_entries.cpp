#include "demo/demo_cache_entries.h"

#include <fstream>
#include <optional>
#include <system_error>

#include "platform/machine.h"

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kFirefoxChunk = 256 * 1024;

void PutBigEndian(std::string& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<char>((value >> shift) & 0xff));
  }
}

void PutLittleEndian(std::string& bytes, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

bool WriteBytes(const fs::path& file, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

}  // namespace

bool MakeFirefoxCacheEntry(const fs::path& file, std::string_view key, std::string_view data,
                           std::uint32_t lastFetched, std::uint32_t version) {
  std::string bytes(data);
  const auto offset = static_cast<std::uint32_t>(data.size());
  PutBigEndian(bytes, 0x12345678);  // the metadata's checksum; readers here do not check it
  const std::uint32_t chunks = (offset + kFirefoxChunk - 1) / kFirefoxChunk;
  for (std::uint32_t i = 0; i < chunks; ++i) bytes.append("\xab\xcd", 2);
  PutBigEndian(bytes, version);
  PutBigEndian(bytes, 1);  // fetch count
  PutBigEndian(bytes, lastFetched);
  PutBigEndian(bytes, lastFetched);  // last modified
  PutBigEndian(bytes, 100);          // frecency
  PutBigEndian(bytes, 0xffffffff);   // no expiration
  PutBigEndian(bytes, static_cast<std::uint32_t>(key.size()));
  if (version != 1) PutBigEndian(bytes, 0);  // flags
  bytes.append(key);
  bytes.push_back('\0');
  bytes.append("response-head\0HTTP/1.1 200 OK\r\n\0", 32);
  PutBigEndian(bytes, offset);
  return WriteBytes(file, bytes);
}

bool MakeSimpleCacheEntry(const fs::path& file, std::string_view key, std::string_view data) {
  std::string bytes;
  PutLittleEndian(bytes, 0xfcfb6d1ba7725c30ULL, 8);
  PutLittleEndian(bytes, 5, 4);  // version
  PutLittleEndian(bytes, key.size(), 4);
  PutLittleEndian(bytes, 0x9e3779b9, 4);  // key hash; readers here do not check it
  PutLittleEndian(bytes, 0, 4);           // padding
  bytes.append(key);
  bytes.append(data);
  // The end-of-stream record (magic, flags, CRC, stream size) as the browser closes an entry.
  PutLittleEndian(bytes, 0xf4fa6f45970d41d8ULL, 8);
  PutLittleEndian(bytes, 0, 4);
  PutLittleEndian(bytes, 0, 4);
  PutLittleEndian(bytes, data.size(), 4);
  return WriteBytes(file, bytes);
}

bool PlantModernCacheTraces(const std::string& user) {
  const Machine* machine = Machine::Current();
  const std::string local = "C:\\users\\" + user + "\\AppData\\Local\\";
  const std::optional<fs::path> firefox =
      machine->ToHostPath(local + "Mozilla\\Firefox\\Profiles\\k9w2m5qa.default-release\\cache2");
  const std::optional<fs::path> chrome =
      machine->ToHostPath(local + "Google\\Chrome\\User Data\\Default");
  if (!firefox || !chrome) return false;
  const std::string page(6000, 'p');
  const std::string image(24000, 'i');
  const fs::path entries = *firefox / "entries";
  const fs::path data = *chrome / "Cache" / "Cache_Data";
  return MakeFirefoxCacheEntry(entries / "0A1B2C3D4E5F60718293A4B5C6D7E8F901234567",
                               "a,:https://news.test/", page, 1765000000) &&
         MakeFirefoxCacheEntry(entries / "1B2C3D4E5F60718293A4B5C6D7E8F9012345678A",
                               "O^partitionKey=%28https%2Cexample.com%29,a,:"
                               "https://cdn.example.com/logo.png",
                               image, 1765000100) &&
         MakeFirefoxCacheEntry(entries / "2C3D4E5F60718293A4B5C6D7E8F9012345678AB1",
                               ":https://www.shop.test/cart", page, 1765000200) &&
         WriteBytes(*firefox / "index", std::string(64, '\0')) &&
         MakeSimpleCacheEntry(data / "1f2e3d4c5b6a7988_0",
                              "1/0/_dk_https://example.com https://example.com "
                              "https://example.com/",
                              page) &&
         MakeSimpleCacheEntry(data / "2e3d4c5b6a79881f_0",
                              "1/0/_dk_https://search.test https://search.test "
                              "https://search.test/results?q=boots",
                              image) &&
         WriteBytes(data / "2e3d4c5b6a79881f_1", std::string(3000, 'b')) &&
         WriteBytes(data / "index", std::string(24, '\0')) &&
         WriteBytes(data / "index-dir" / "the-real-index", std::string(48, '\0')) &&
         MakeSimpleCacheEntry(*chrome / "Code Cache" / "js" / "3d4c5b6a79881f2e_0",
                              "_keyhttps://search.test/app.js \nhttps://search.test/", page) &&
         WriteBytes(*chrome / "GPUCache" / "data_0", std::string(8192, '\0')) &&
         WriteBytes(*chrome / "GPUCache" / "index", std::string(256, '\0'));
}

}  // namespace corvane
