#pragma once
// A Wine prefix folder for registry tests: a fresh temporary folder, removed with everything in
// it, holding hive files written from text.

#include <filesystem>
#include <string>
#include <string_view>

namespace corvane::test {

class TempPrefix {
 public:
  TempPrefix();
  ~TempPrefix();
  TempPrefix(const TempPrefix&) = delete;
  TempPrefix& operator=(const TempPrefix&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  void Write(std::string_view fileName, std::string_view text) const;
  [[nodiscard]] std::string Read(std::string_view fileName) const;

 private:
  std::filesystem::path path_;
};

// A hive file's text: Wine's header for `branch` ("REGISTRY\\Machine") and then `keys`.
[[nodiscard]] std::string HiveText(std::string_view branch, std::string_view keys);

inline constexpr std::string_view kTestUserSid = "S-1-5-21-0-0-0-1000";

}  // namespace corvane::test
