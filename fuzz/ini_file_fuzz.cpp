// The ini reader and writer: any bytes parse; an unedited document serializes back byte for
// byte (a UTF-16 file with an odd last byte or an unpaired surrogate reads those as U+FFFD, so
// there the writer's output is a fixed point instead); an edit leaves a document that reads back
// as written.
#include <cstddef>
#include <cstdint>

#include "core/settings/ini_file.h"
#include "fuzz_check.h"

namespace {

// Whether the bytes after a UTF-16LE byte-order mark are whole code units with every surrogate
// paired.
bool IsWellFormedUtf16Le(const std::uint8_t* data, std::size_t size) {
  if (size % 2 != 0) return false;
  for (std::size_t at = 0; at < size; at += 2) {
    const unsigned unit = data[at] | (data[at + 1] << 8);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (at + 3 >= size) return false;
      const unsigned low = data[at + 2] | (data[at + 3] << 8);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      at += 2;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vm31::Bytes bytes(data, data + size);
  vm31::IniDocument document = vm31::IniDocument::Parse(bytes);
  const vm31::Bytes written = document.Serialize();
  if (document.encoding() == vm31::IniEncoding::kUtf16LeWithBom &&
      !IsWellFormedUtf16Le(data + 2, size - 2)) {
    FUZZ_CHECK(vm31::IniDocument::Parse(written).Serialize() == written);
  } else {
    FUZZ_CHECK(written == bytes);
  }

  // Every lookup of what the reader found answers, and a section rewritten with its own entries
  // reads back the same entries.
  for (const std::string& section : document.sectionNames()) {
    const auto entries = document.sectionEntries(section);
    for (const auto& [key, value] : entries) (void)document.read(section, key);
    if (section.empty() || section.find_first_of("[]\r\n") != std::string::npos) continue;
    vm31::IniDocument edited = document;
    edited.replaceSection(section, entries);
    const vm31::IniDocument reread = vm31::IniDocument::Parse(edited.Serialize());
    FUZZ_CHECK(reread.hasSection(section));
  }
  return 0;
}
