// corvane-pld: makes custom cleaner definitions (".pld") from their readable form and shows what
// a definition holds. The program reads only ".pld" files from its "CustomPlugins" folder.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "cleaners/custom/custom_definition.h"
#include "tools/pld/pld_text.h"

namespace {

constexpr std::string_view kUsage =
    "usage: corvane-pld compile DEFINITION.txt OUTPUT.pld\n"
    "       corvane-pld dump INPUT.pld [OUTPUT.txt]\n"
    "       corvane-pld check INPUT.pld...\n"
    "\n"
    "compile  writes the .pld file for a readable definition\n"
    "dump     writes the readable form of a .pld file (to standard output without OUTPUT)\n"
    "check    tells for each file whether the program would load it\n";

std::optional<std::string> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

bool WriteAll(const std::string& path, std::string_view bytes) {
  // Written beside the target and renamed over it, so a failed write never leaves half a file
  // where the program looks for definitions.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int Compile(const std::string& input, const std::string& output) {
  const auto text = ReadAll(input);
  if (!text) {
    std::cerr << "corvane-pld: cannot read " << input << "\n";
    return 1;
  }
  corvane::PldTextError error;
  const auto definition = corvane::ParsePldText(*text, &error);
  if (!definition) {
    std::cerr << input << ":" << error.line << ": " << error.message << "\n";
    return 1;
  }
  if (!WriteAll(output, corvane::WriteCustomDefinition(*definition))) {
    std::cerr << "corvane-pld: cannot write " << output << "\n";
    return 1;
  }
  return 0;
}

std::optional<corvane::CustomDefinition> Load(const std::string& input) {
  const auto bytes = ReadAll(input);
  if (!bytes) {
    std::cerr << "corvane-pld: cannot read " << input << "\n";
    return std::nullopt;
  }
  auto definition = corvane::ReadCustomDefinition(*bytes);
  if (!definition) {
    std::cerr << input
              << ": not a definition the program can load (wrong marker, or shorter "
                 "than its counts and lengths claim)\n";
  }
  return definition;
}

int Dump(const std::string& input, const std::optional<std::string>& output) {
  const auto definition = Load(input);
  if (!definition) return 1;
  const std::string text = corvane::FormatPldText(*definition);
  if (!output) {
    std::cout << text;
    return std::cout ? 0 : 1;
  }
  if (!WriteAll(*output, text)) {
    std::cerr << "corvane-pld: cannot write " << *output << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "compile" && argc == 4) return Compile(argv[2], argv[3]);
  if (command == "dump" && (argc == 3 || argc == 4)) {
    return Dump(argv[2], argc == 4 ? std::optional<std::string>(argv[3]) : std::nullopt);
  }
  if (command == "check" && argc >= 3) {
    int result = 0;
    for (int i = 2; i < argc; ++i) {
      const auto definition = Load(argv[i]);
      if (!definition) {
        result = 1;
        continue;
      }
      std::cout << argv[i] << ": \"" << definition->name << "\", " << definition->files.size()
                << " file item(s), " << definition->registry.size() << " registry item(s)\n";
    }
    return result;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  std::cerr << kUsage;
  return 2;
}
