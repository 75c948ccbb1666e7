#include "tests/support/temp_prefix.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvane::test {

TempPrefix::TempPrefix() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvane-prefix-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempPrefix::~TempPrefix() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempPrefix::Write(std::string_view fileName, std::string_view text) const {
  std::ofstream out(path_ / fileName, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string TempPrefix::Read(std::string_view fileName) const {
  std::ifstream in(path_ / fileName, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string HiveText(std::string_view branch, std::string_view keys) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to ";
  for (char c : branch) {
    text += c;
    if (c == '\\') text += '\\';
  }
  text += "\n\n#arch=win64\n";
  text += keys;
  return text;
}

}  // namespace corvane::test
