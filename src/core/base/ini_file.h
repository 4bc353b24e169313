#pragma once
// INI files with the semantics of the Windows private-profile routines: section and
// key names match without regard to case, a read returns at most 1023 characters,
// a write keeps every other line and the order of the file, a new key goes to the
// end of its section and a new section to the end of the file. Files are CR LF.
//
// A value reads back as it was written: one whose ends the read rule would trim or
// unquote is written enclosed in double quotes. Parsing never throws; Load and Save
// throw VendrixError for unreadable or unwritable files. Any thread, one document
// per thread.
//
// An IniDocument is the parsed file; change several keys and Save() once to get the
// same file that key-by-key writes would give. The Ini* free functions are the
// one-key-at-a-time form: each reads or replaces the file on its own.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"

namespace vendrix {

inline constexpr std::size_t kIniMaxValue = 1023;

// Why a value cannot be stored under a key and read back as it was: longer than
// kIniMaxValue characters (the read would cut it), or holding a line break (the file
// would split it). The message names field. nullopt when the value can be stored.
std::optional<std::string> CheckIniValue(std::string_view field, std::string_view value);

class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument Parse(std::string_view text);
  // A missing file gives an empty document.
  static IniDocument Load(const std::string& path);

  // The value as the platform returns it (blanks around it removed, one pair of
  // enclosing quotes removed, at most 1023 characters), or nullopt when absent.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  std::string Text() const;
  // Atomic replace; throws VendrixError("Unable to write to " + path).
  void Save(const std::string& path, const WriteOptions& options = {}) const;

 private:
  std::vector<std::string> lines_;
};

// Reads several keys of one section straight from a file's text, without building a
// document: values[i] receives the value of keys[i] exactly as IniDocument::Get would
// return it (a view into text, before the 1023-character cut), or stays nullopt when
// the key is absent. For readers that want a few keys of many files (the site table).
void ScanIniValues(std::string_view text, std::string_view section, const std::string_view* keys,
                   std::optional<std::string_view>* values, std::size_t count);

// Integer text as the profile routines read it: decimal with an optional sign, or
// "0x"/"0X" hexadecimal when longer than two characters; anything else gives def.
int ParseIniInteger(std::string_view text, int def);

std::string IniReadString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view def);
int IniReadInteger(const std::string& path, std::string_view section, std::string_view key,
                   int def);
void IniWriteString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value);
void IniWriteInteger(const std::string& path, std::string_view section, std::string_view key,
                     int value);
void IniWriteBool(const std::string& path, std::string_view section, std::string_view key,
                  bool value);

}  // namespace vendrix
