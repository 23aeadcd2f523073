// The ini reader and writer: any bytes parse; an unedited document serializes back byte for
// byte; an edit leaves a document that reads back as written.
#include <cstddef>
#include <cstdint>

#include "core/settings/ini_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vm31::Bytes bytes(data, data + size);
  vm31::IniDocument document = vm31::IniDocument::Parse(bytes);
  FUZZ_CHECK(document.Serialize() == bytes);

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
