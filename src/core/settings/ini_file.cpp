#include "core/settings/ini_file.h"

#include <system_error>

#include "core/util/path_text.h"
#include "core/util/text.h"

namespace vm31 {
namespace {

// Ini files are small; anything larger is not one of the program's files and is refused before
// it is read.
constexpr std::uintmax_t kMaxIniFileBytes = 16u * 1024u * 1024u;

constexpr std::uint8_t kUtf8Bom[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t kUtf16LeBom[] = {0xFF, 0xFE};
constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The value of a key line: the text after its "=", trimmed.
std::string_view KeyValue(std::string_view lineText, std::size_t valueOffset) {
  return Trim(lineText.substr(valueOffset));
}

// Names and values as they go into a line: a line break would split the line (or, in a value,
// inject a section header), so each CR and LF becomes a space.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// UTF-16LE code units from `begin` to `end` as UTF-8. Unpaired surrogates and an odd trailing
// byte become U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* begin, const std::uint8_t* end) {
  std::string out;
  out.reserve(static_cast<std::size_t>(end - begin));
  auto unitAt = [](const std::uint8_t* p) { return static_cast<char16_t>(p[0] | (p[1] << 8)); };
  const std::uint8_t* p = begin;
  while (end - p >= 2) {
    const char16_t unit = unitAt(p);
    p += 2;
    if (unit >= 0xD800 && unit <= 0xDBFF && end - p >= 2) {
      const char16_t low = unitAt(p);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        p += 2;
        AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{low} - 0xDC00));
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacementCharacter : char32_t{unit});
  }
  if (p != end) AppendUtf8(out, kReplacementCharacter);
  return out;
}

// UTF-8 as UTF-16LE; each byte of an invalid sequence becomes U+FFFD.
void AppendUtf16Le(Bytes& out, std::string_view text) {
  auto appendUnit = [&out](char32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (std::size_t i = 0; i < text.size();) {
    char32_t codePoint = 0;
    const std::size_t length = DecodeUtf8(text, i, codePoint);
    if (length == 0) {
      codePoint = kReplacementCharacter;
      i += 1;
    } else {
      i += length;
    }
    if (codePoint >= 0x10000) {
      appendUnit(0xD800 + ((codePoint - 0x10000) >> 10));
      appendUnit(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    } else {
      appendUnit(codePoint);
    }
  }
}

bool StartsWith(const Bytes& bytes, const std::uint8_t* prefix, std::size_t length) {
  if (bytes.size() < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] != prefix[i]) return false;
  }
  return true;
}

std::string Describe(const std::filesystem::path& path) {
  return "\"" + PathText(path) + "\"";
}

}  // namespace

void IniDocument::Classify(Line& line) {
  line.kind = LineKind::kOther;
  line.nameOffset = line.nameLength = line.valueOffset = 0;
  const std::string_view text = line.text;
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  if (start == text.size() || text[start] == ';') return;
  if (text[start] == '[') {
    const std::size_t close = text.rfind(']');
    if (close == std::string_view::npos || close <= start) return;
    const std::string_view inner = text.substr(start + 1, close - start - 1);
    const std::string_view name = Trim(inner);
    line.kind = LineKind::kSection;
    line.nameOffset = static_cast<std::size_t>(name.data() - text.data());
    line.nameLength = name.size();
    return;
  }
  const std::size_t equals = text.find('=', start);
  if (equals == std::string_view::npos) return;
  const std::string_view name = Trim(text.substr(start, equals - start));
  line.kind = LineKind::kKey;
  line.nameOffset = name.empty() ? equals : static_cast<std::size_t>(name.data() - text.data());
  line.nameLength = name.size();
  line.valueOffset = equals + 1;
}

IniDocument::Line IniDocument::MakeLine(std::string text, LineBreak lineBreak) {
  Line line;
  line.text = std::move(text);
  line.lineBreak = lineBreak;
  Classify(line);
  return line;
}

IniDocument IniDocument::Parse(const Bytes& fileBytes) {
  IniDocument document;
  std::string text;
  if (StartsWith(fileBytes, kUtf8Bom, sizeof kUtf8Bom)) {
    document.encoding_ = IniEncoding::kUtf8WithBom;
    text.assign(fileBytes.begin() + sizeof kUtf8Bom, fileBytes.end());
  } else if (StartsWith(fileBytes, kUtf16LeBom, sizeof kUtf16LeBom)) {
    document.encoding_ = IniEncoding::kUtf16LeWithBom;
    text =
        Utf16LeToUtf8(fileBytes.data() + sizeof kUtf16LeBom, fileBytes.data() + fileBytes.size());
  } else {
    text.assign(fileBytes.begin(), fileBytes.end());
  }

  bool sawBreak = false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t newline = text.find('\n', start);
    if (newline == std::string::npos) {
      document.lines_.push_back(MakeLine(text.substr(start), LineBreak::kNone));
      break;
    }
    const bool cr = newline > start && text[newline - 1] == '\r';
    if (!sawBreak) {
      document.crlf_ = cr;
      sawBreak = true;
    }
    document.lines_.push_back(MakeLine(text.substr(start, newline - start - (cr ? 1 : 0)),
                                       cr ? LineBreak::kCrLf : LineBreak::kLf));
    start = newline + 1;
  }
  return document;
}

Bytes IniDocument::Serialize() const {
  std::string text;
  std::size_t size = 0;
  for (const Line& line : lines_) size += line.text.size() + 2;
  text.reserve(size);
  for (const Line& line : lines_) {
    text += line.text;
    if (line.lineBreak == LineBreak::kCrLf) text += "\r\n";
    if (line.lineBreak == LineBreak::kLf) text += '\n';
  }
  Bytes bytes;
  switch (encoding_) {
    case IniEncoding::kUtf8:
      bytes.assign(text.begin(), text.end());
      break;
    case IniEncoding::kUtf8WithBom:
      bytes.reserve(sizeof kUtf8Bom + text.size());
      bytes.assign(std::begin(kUtf8Bom), std::end(kUtf8Bom));
      bytes.insert(bytes.end(), text.begin(), text.end());
      break;
    case IniEncoding::kUtf16LeWithBom:
      bytes.reserve(sizeof kUtf16LeBom + 2 * text.size());
      bytes.assign(std::begin(kUtf16LeBom), std::end(kUtf16LeBom));
      AppendUtf16Le(bytes, text);
      break;
  }
  return bytes;
}

Result<IniDocument> IniDocument::Load(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return IniDocument{};
  if (error) {
    return MakeError(ErrorCode::kIo, Describe(path) + ": cannot read: " + error.message());
  }
  if (std::filesystem::is_directory(status)) {
    return MakeError(ErrorCode::kBadFormat, Describe(path) + ": is a folder, not a file");
  }
  if (std::filesystem::is_regular_file(status)) {
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxIniFileBytes) {
      return MakeError(ErrorCode::kBadFormat, Describe(path) + ": file is " + std::to_string(size) +
                                                  " bytes, more than the " +
                                                  std::to_string(kMaxIniFileBytes) +
                                                  " bytes an ini file may have");
    }
  }
  // ReadWholeFile refuses what is no regular file and keeps the limit for files that grow
  // meanwhile.
  Result<Bytes> content = ReadWholeFile(path, kMaxIniFileBytes);
  if (!content) return content.error();
  return Parse(content.value());
}

Status IniDocument::Save(const std::filesystem::path& path) const {
  return WriteFileAtomically(path, Serialize());
}

std::optional<IniDocument::SectionRange> IniDocument::findSection(std::string_view section) const {
  section = Trim(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != LineKind::kSection) continue;
    if (!EqualsIgnoringAsciiCase(lines_[i].name(), section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && lines_[end].kind != LineKind::kSection) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::size_t IniDocument::appendPosition(SectionRange range) const {
  std::size_t position = range.end;
  while (position > range.begin + 1 && Trim(lines_[position - 1].text).empty()) --position;
  return position;
}

void IniDocument::insertLines(std::size_t index, std::vector<std::string> texts) {
  if (texts.empty()) return;
  // Only the last line may lack a break; lines inserted after it give it one.
  if (index == lines_.size() && !lines_.empty() && lines_.back().lineBreak == LineBreak::kNone) {
    lines_.back().lineBreak = newLineBreak();
  }
  std::vector<Line> inserted;
  inserted.reserve(texts.size());
  for (std::string& text : texts) inserted.push_back(MakeLine(std::move(text), newLineBreak()));
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                std::make_move_iterator(inserted.begin()), std::make_move_iterator(inserted.end()));
}

std::optional<std::string> IniDocument::find(std::string_view section, std::string_view key) const {
  const auto range = findSection(section);
  if (!range) return std::nullopt;
  key = Trim(key);
  for (std::size_t i = range->begin + 1; i < range->end; ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::kKey && EqualsIgnoringAsciiCase(line.name(), key)) {
      return std::string(KeyValue(line.text, line.valueOffset));
    }
  }
  return std::nullopt;
}

std::string IniDocument::read(std::string_view section, std::string_view key) const {
  const auto value = find(section, key);
  return value ? TruncateCharacters(*value, kIniValueMaxCharacters) : std::string();
}

std::vector<std::pair<std::string, std::string>> IniDocument::sectionEntries(
    std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  const auto range = findSection(section);
  if (!range) return entries;
  for (std::size_t i = range->begin + 1; i < range->end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != LineKind::kKey) continue;
    entries.emplace_back(line.name(), KeyValue(line.text, line.valueOffset));
  }
  return entries;
}

void IniDocument::write(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sectionName = OneLine(Trim(section));
  const std::string keyName = OneLine(Trim(key));
  const std::string valueText = OneLine(value);
  const auto range = findSection(sectionName);
  if (!range) {
    insertLines(lines_.size(), {"[" + sectionName + "]", keyName + "=" + valueText});
    return;
  }
  for (std::size_t i = range->begin + 1; i < range->end; ++i) {
    Line& line = lines_[i];
    if (line.kind != LineKind::kKey || !EqualsIgnoringAsciiCase(line.name(), keyName)) continue;
    // Keep the line's own spelling of the key and the blanks around "=".
    std::size_t valueStart = line.valueOffset;
    while (valueStart < line.text.size() &&
           (line.text[valueStart] == ' ' || line.text[valueStart] == '\t')) {
      ++valueStart;
    }
    line.text.replace(valueStart, std::string::npos, valueText);
    Classify(line);
    return;
  }
  insertLines(appendPosition(*range), {keyName + "=" + valueText});
}

bool IniDocument::removeSection(std::string_view section) {
  const auto range = findSection(section);
  if (!range) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->begin),
               lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
  return true;
}

void IniDocument::replaceSection(std::string_view section,
                                 const std::vector<std::pair<std::string, std::string>>& entries) {
  std::vector<std::string> keyLines;
  keyLines.reserve(entries.size());
  for (const auto& [key, value] : entries) {
    keyLines.push_back(OneLine(Trim(key)) + "=" + OneLine(value));
  }
  const auto range = findSection(section);
  if (!range) {
    keyLines.insert(keyLines.begin(), "[" + OneLine(Trim(section)) + "]");
    insertLines(lines_.size(), std::move(keyLines));
    return;
  }
  // The new keys take the place of the first old key; comments and other lines stay.
  std::size_t position = range->end;
  std::vector<Line> body;
  body.reserve(range->end - range->begin);
  for (std::size_t i = range->begin + 1; i < range->end; ++i) {
    if (lines_[i].kind == LineKind::kKey) {
      if (position == range->end) position = range->begin + 1 + body.size();
      continue;
    }
    body.push_back(std::move(lines_[i]));
  }
  const bool hadKeys = position != range->end;
  // Only a last line can lack a break: when the removed keys ended the file, the body lines
  // already have theirs.
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->begin + 1),
               lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(range->begin + 1),
                std::make_move_iterator(body.begin()), std::make_move_iterator(body.end()));
  const SectionRange shrunk{range->begin, range->begin + 1 + body.size()};
  insertLines(hadKeys ? position : appendPosition(shrunk), std::move(keyLines));
}

std::vector<std::string> IniDocument::sectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind == LineKind::kSection) names.emplace_back(line.name());
  }
  return names;
}

bool IniDocument::hasSection(std::string_view section) const {
  return findSection(section).has_value();
}

}  // namespace vm31
