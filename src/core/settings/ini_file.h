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
// encoding it was read in. Invalid UTF-8 is carried through unchanged, never rejected; in UTF-16
// files unpaired surrogates and an odd last byte read as U+FFFD.
//
// Syntax: a section header is a line whose first non-blank character is "[" and that holds a
// "]"; the name is the text between "[" and the last "]", trimmed. A key line is any other line
// that holds "=" and does not start with ";"; the key is the trimmed text before the first "=",
// the value the trimmed text after it (taken literally: no quotes are removed). Blanks are ASCII
// white space. Section and key names given to the functions below are trimmed the same way.
// Line breaks are "\n" or "\r\n" and are kept per line; lines added by this class take the style
// of the file's first line break ("\r\n" for a new document or a file without any).

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

  // A missing file gives an empty document; an unreadable file, a folder or a file over 16 MiB
  // (refused before it is read) is an Error that names the path.
  static Result<IniDocument> Load(const std::filesystem::path& path);
  // Writes the whole document atomically (see WriteFileAtomically).
  Status Save(const std::filesystem::path& path) const;

  // The value of the first `key` in the first section named `section`, whole and trimmed;
  // nullopt when the section or the key does not exist.
  std::optional<std::string> find(std::string_view section, std::string_view key) const;
  // find(), empty when missing, cut to kIniValueMaxCharacters characters.
  std::string read(std::string_view section, std::string_view key) const;
  // Every key line of the first section named `section`, in file order and duplicates included:
  // the trimmed key as written and its whole trimmed value (as find() gives it). Empty when the
  // section does not exist. One pass over the file, for readers of many keys of one section
  // (find() walks the file from its start on every call).
  std::vector<std::pair<std::string, std::string>> sectionEntries(std::string_view section) const;

  // Carriage returns and line feeds in `section`, `key` and `value` are written as spaces, so a
  // write never adds or splits lines.
  void write(std::string_view section, std::string_view key, std::string_view value);
  // Removes the first section named `section` with all its lines; false when there was none.
  bool removeSection(std::string_view section);
  // Replaces the keys of the first section named `section` by `entries`, in order, keeping the
  // section where it stands in the file; appends the section when it does not exist. The new
  // keys stand where the first old key stood; comments and other non-key lines stay.
  void replaceSection(std::string_view section,
                      const std::vector<std::pair<std::string, std::string>>& entries);

  // Every section name in file order, duplicates included, as written in the file.
  std::vector<std::string> sectionNames() const;
  bool hasSection(std::string_view section) const;

  IniEncoding encoding() const { return encoding_; }
  void setEncoding(IniEncoding encoding) { encoding_ = encoding; }

 private:
  enum class LineKind { kOther, kSection, kKey };
  enum class LineBreak { kNone, kLf, kCrLf };  // kNone only on a last line without a break
  // One line of the file as read (or as written by this class). The trimmed section or key name
  // is text[nameOffset, nameOffset + nameLength); a key's raw value starts at valueOffset, just
  // after the "=".
  struct Line {
    std::string text;  // the line without its line break
    LineBreak lineBreak = LineBreak::kNone;
    LineKind kind = LineKind::kOther;
    std::size_t nameOffset = 0;
    std::size_t nameLength = 0;
    std::size_t valueOffset = 0;

    std::string_view name() const { return std::string_view(text).substr(nameOffset, nameLength); }
  };
  // [begin, end) line indexes of a section's header and body.
  struct SectionRange {
    std::size_t begin;
    std::size_t end;
  };

  static Line MakeLine(std::string text, LineBreak lineBreak);
  static void Classify(Line& line);
  std::optional<SectionRange> findSection(std::string_view section) const;
  // Index at which a new key of `range` goes: after its last line that is not blank.
  std::size_t appendPosition(SectionRange range) const;
  // Inserts `lines` at `index`, giving a break to a preceding last line that had none.
  void insertLines(std::size_t index, std::vector<std::string> texts);
  LineBreak newLineBreak() const { return crlf_ ? LineBreak::kCrLf : LineBreak::kLf; }

  std::vector<Line> lines_;
  IniEncoding encoding_ = IniEncoding::kUtf8;
  bool crlf_ = true;  // line breaks of the file as read; new files use "\r\n"
};

}  // namespace vm31
