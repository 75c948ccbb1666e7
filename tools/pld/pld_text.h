#pragma once
// The readable form of a custom cleaner definition, from which ".pld" files are made and into
// which they are dumped. The program itself only reads ".pld" files; this form is for the
// people who write definitions.
//
//   # Comments are whole lines starting with "#" or ";".
//   name = Windows temporary files
//   description = Files that installers left behind.
//   enabled = 1
//
//   [tree]                      files of a folder and all its subfolders (also [folder], [file])
//   path = %WinDir%\Temp
//   masks = *.*
//   exclude = keep.log          one per line, relative to each folder
//
//   [registry-key]              matching values of a key (also [registry-value], [registry-tree])
//   root = HKEY_CURRENT_USER
//   key = Software\Microsoft\Windows\CurrentVersion\Explorer\RunMRU
//   pattern = *
//
// A value is the rest of the line after "=", without surrounding blanks; a value that must keep
// blanks at its ends, or holds a line break, is written in double quotes with \" \\ \n \r \t and
// \xHH escapes. Every field of the file format has a key, so a dump reads back to the same bytes.

#include <optional>
#include <string>
#include <string_view>

#include "cleaners/custom/custom_definition.h"

namespace corvane {

struct PldTextError {
  std::size_t line = 0;  // 1-based; 0 for the text as a whole
  std::string message;
};

// Parses the readable form; none (and `error` says where and why) for an unknown section or
// key, a malformed number or quoted value, a repeated single-valued key, or text that the
// file's Windows-1252 encoding cannot hold.
[[nodiscard]] std::optional<CustomDefinition> ParsePldText(std::string_view text,
                                                           PldTextError* error);

// The readable form of a definition; ParsePldText gives the definition back.
[[nodiscard]] std::string FormatPldText(const CustomDefinition& definition);

}  // namespace corvane
