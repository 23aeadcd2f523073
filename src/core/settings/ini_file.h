#pragma once
// Ini files with the semantics the program's files have always had (Windows private-profile
// files): sections and keys match without regard to ASCII letter case, the first matching
// section and key win, values are trimmed of surrounding blanks, a missing file, section or key
// reads as empty, writing a key creates the section (at the end of the file) and the key (at
// the end of its section). Everything else in the file - comments, blank lines, lines without
// "=", duplicate sections and keys - is kept as it stands when the file is written back.
//
// Encodings: UTF-8 without or with a byte-order mark, and UTF-16LE with a byte-order mark (as
// Windows editors save such files). Text in the API is UTF-8; a file is written back in the
// encoding it was read in. Invalid UTF-8 is carried through unchanged, never rejected.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/util/atomic_file.h"
#include "core/util/result.h"

namespace vm31 {

enum class IniEncoding { kUtf8, kUtf8WithBom, kUtf16LeWithBom };

// Values are read into buffers of 1024 characters by every reader of the program's files: at
// most 1023 characters of a value are seen.
inline constexpr std::size_t kIniValueMaxCharacters = 1023;

class IniDocument {
 public:
  IniDocument() = default;

  // Never fails: any bytes give a document (junk lines are kept and ignored).
  static IniDocument Parse(const Bytes& fileBytes);
  Bytes Serialize() const;

  // A missing file gives an empty document; an unreadable file or a folder is an Error that
  // names the path.
  static Result<IniDocument> Load(const std::filesystem::path& path);
  // Writes the whole document atomically (see WriteFileAtomically).
  Status Save(const std::filesystem::path& path) const;

  // The value of the first `key` in the first section named `section`, whole and trimmed;
  // nullopt when the section or the key does not exist.
  std::optional<std::string> find(std::string_view section, std::string_view key) const;
  // find(), empty when missing, cut to kIniValueMaxCharacters characters.
  std::string read(std::string_view section, std::string_view key) const;

  void write(std::string_view section, std::string_view key, std::string_view value);
  // Removes the first section named `section` with all its lines; false when there was none.
  bool removeSection(std::string_view section);
  // Replaces the keys of the first section named `section` by `entries`, in order, keeping the
  // section where it stands in the file; appends the section when it does not exist.
  void replaceSection(std::string_view section,
                      const std::vector<std::pair<std::string, std::string>>& entries);

  // Every section name in file order, duplicates included, as written in the file.
  std::vector<std::string> sectionNames() const;
  bool hasSection(std::string_view section) const;

  IniEncoding encoding() const { return encoding_; }
  void setEncoding(IniEncoding encoding) { encoding_ = encoding; }

 private:
  struct Line {
    std::string text;  // the raw line without its line break
  };
  std::vector<Line> lines_;
  IniEncoding encoding_ = IniEncoding::kUtf8;
  bool crlf_ = false;  // line breaks of the file as read; new files use "\n"
};

}  // namespace vm31
