// The macro compiler over any record.ini and any settings record: only the macro blocks of the
// macros the file holds change, every entry stays inside its block, and the report names a block
// for every compiled macro.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>

#include "core/macros/macro_compiler.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first bytes seed the settings record (repeated), the rest is record.ini.
  const std::size_t seedSize = std::min<std::size_t>(size, 16);
  vm31::MouseConfig config;
  for (std::size_t i = 0; i < config.bytes.size(); ++i) {
    config.bytes[i] =
        seedSize == 0 ? 0 : static_cast<std::uint8_t>(data[i % seedSize] + i / seedSize);
  }
  const vm31::MouseConfig before = config;
  const vm31::IniDocument record =
      vm31::IniDocument::Parse(vm31::Bytes(data + seedSize, data + size));

  const vm31::CompileReport report = vm31::CompileMacros(record, config);

  std::set<int> touched;
  for (const auto& macro : report.macros) {
    FUZZ_CHECK(macro.block >= 0 && macro.block < vm31::kMacroCount);
    FUZZ_CHECK(macro.entries >= 0 && macro.entries <= vm31::kMacroEntryCapacity);
    touched.insert(macro.block);
  }
  for (const auto& problem : report.problems) {
    FUZZ_CHECK(problem.block >= -1 && problem.block < vm31::kMacroCount);
    (void)vm31::FormatCompileProblem(problem);
  }
  const std::size_t macrosBegin = vm31::config_offset::kMacroBlocks;
  const std::size_t macrosEnd = macrosBegin + vm31::kMacroCount * vm31::kMacroBlockSize;
  for (std::size_t i = 0; i < config.bytes.size(); ++i) {
    if (config.bytes[i] == before.bytes[i]) continue;
    FUZZ_CHECK(i >= macrosBegin && i < macrosEnd);
    FUZZ_CHECK(touched.count(static_cast<int>((i - macrosBegin) / vm31::kMacroBlockSize)) == 1);
  }
  return 0;
}
