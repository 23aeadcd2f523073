#include "cli/file_commands.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "core/keys/key_encoding.h"
#include "core/keys/key_functions.h"
#include "core/keys/key_tables.h"
#include "core/macros/macro_compiler.h"
#include "core/macros/macro_store.h"
#include "core/settings/config_file.h"
#include "core/settings/report_rate.h"
#include "core/settings/value_labels.h"
#include "core/text/text_table.h"
#include "core/util/path_text.h"

namespace vm31::cli {
namespace {

constexpr UiLanguage kCliLanguage = UiLanguage::kEnglish;

// The path in quotes, as it may go to the terminal.
std::string Quoted(const std::filesystem::path& path) {
  return "\"" + TerminalText(PathText(path)) + "\"";
}

std::string Hex(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

std::string KeyText(std::uint8_t code) {
  const std::string_view name = KeyNameFromUsage(code);
  return Hex(code) + (name.empty() ? "" : " (" + std::string(name) + ")");
}

std::string_view DpiOperationName(std::uint8_t operation) {
  switch (operation) {
    case 1:
      return "DPI +";
    case 2:
      return "DPI -";
    case 3:
      return "DPI Loop";
    case 4:
      return "Shift DPI";
    default:
      return "none";
  }
}

template <typename Names>
std::string ListEntryText(std::uint8_t index, const Names& names) {
  return std::to_string(index) +
         (index < names.size() ? " (" + std::string(names[index]) + ")" : " (outside the list)");
}

struct Parameter {
  std::string name;  // the record's field name
  std::uint8_t value;
  std::string text;  // the value in words
};

// The record's field name of each key attribute, by attribute number.
constexpr std::array<std::string_view, kKeyAttributeCount> kAttributeNames{
    "keyFunction", "mediaIndex", "mediaCode",  "windowsIndex", "windowsCode", "windowsClass",
    "fireIndex",   "fireKey",    "fireSpeed",  "fireCount",    "singleKey",   "comboModifiers",
    "comboKey1",   "comboKey2",  "macroIndex", "macroMode"};

std::string AttributeName(KeyAttribute attribute) {
  return std::string(kAttributeNames[static_cast<std::size_t>(attribute)]);
}

std::string ModifiersText(std::uint8_t modifiers) {
  std::string names;
  for (const KeyName& modifier : ModifierNameTable()) {
    if ((modifiers & modifier.code) != 0)
      names += (names.empty() ? "" : " + ") + std::string(modifier.name);
  }
  return Hex(modifiers) + (names.empty() ? "" : " (" + names + ")");
}

// A key attribute's value in words.
std::string AttributeText(KeyAttribute attribute, std::uint8_t value) {
  switch (attribute) {
    case KeyAttribute::kWindowsIndex:
      return ListEntryText(value, WindowsKeyNames());
    case KeyAttribute::kMediaIndex:
      return ListEntryText(value, MediaKeyNames());
    case KeyAttribute::kFireIndex:
      return ListEntryText(value, FireKeyNames());
    case KeyAttribute::kWindowsCode:
    case KeyAttribute::kWindowsClass:
    case KeyAttribute::kMediaCode:
      return Hex(value);
    case KeyAttribute::kFireKey:
    case KeyAttribute::kSingleKey:
    case KeyAttribute::kComboKey1:
    case KeyAttribute::kComboKey2:
      return KeyText(value);
    case KeyAttribute::kFireSpeed:
      return std::to_string(value) + " (smaller is faster)";
    case KeyAttribute::kFireCount:
      return value == 0 ? "0 (until released)" : std::to_string(value);
    case KeyAttribute::kComboModifiers:
      return ModifiersText(value);
    case KeyAttribute::kMacroIndex:
      return "slot " + std::to_string(value + 1);
    case KeyAttribute::kMacroMode:
      return "play option " + std::to_string(value + 1);
    case KeyAttribute::kKeyFunction:
      break;
  }
  return std::to_string(value);
}

// What `config check` says of a key attribute's value the mouse cannot use; nullptr when it can.
const char* AttributeRangeProblem(KeyAttribute attribute, std::uint8_t value) {
  switch (attribute) {
    case KeyAttribute::kFireSpeed:
      return value < 5 ? "below 5" : nullptr;
    case KeyAttribute::kMacroIndex:
      return value >= kMacroCount ? "not 0..11" : nullptr;
    case KeyAttribute::kMacroMode:
      return value > 2 ? "not 0..2" : nullptr;
    default:
      return nullptr;
  }
}

// The attributes the button's function uses (its row's filled attributes, the DPI switch's
// dpiSwitchStage), by field name, with their meaning.
std::vector<Parameter> ButtonParameters(const MouseConfig& config, int group, int button) {
  std::vector<Parameter> parameters;
  const KeyFunctionRow* function = FindKeyFunction(config.keyFunction(group, button));
  if (function == nullptr) return parameters;
  if (function->function == KeyFunction::kDpiSwitch) {
    const std::uint8_t stage = config.dpiSwitchStage(group, button);
    parameters.push_back({"dpiSwitchStage", stage, std::string(DpiOperationName(stage))});
  }
  for (const KeyAttribute attribute : function->attributes) {
    const std::uint8_t value = config.keyAttribute(group, attribute, button);
    parameters.push_back({AttributeName(attribute), value, AttributeText(attribute, value)});
  }
  return parameters;
}

std::string FunctionName(std::uint8_t code) {
  const std::string_view name = FunctionMenuText(code, kCliLanguage);
  return name.empty() ? "(no function: does nothing)" : std::string(name);
}

std::string ReportRateText(std::uint8_t code) {
  const ReportRate* rate = FindReportRate(code);
  return rate ? std::to_string(rate->hz) + " Hz" : "not a report rate";
}

// Loads config.bin for a command; prints the error and returns false when it would not load.
bool LoadForCommand(const std::filesystem::path& path, MouseConfig& config, std::uint8_t& flag) {
  const ConfigLoadResult loaded = LoadConfig(path, config, flag);
  if (loaded.outcome == ConfigLoadOutcome::kLoaded) return true;
  PrintError(loaded.detail + (loaded.outcome == ConfigLoadOutcome::kWrongSize
                                  ? "; the program would ignore it"
                                  : ""));
  return false;
}

// Prints the command's usage line (after ParseArgs's own message, if any) and gives the status.
int UsageError(const char* usage) {
  PrintError(std::string("usage: vm31ctl ") + usage);
  return kExitUsage;
}

std::filesystem::path ConfigPathFrom(const ParsedArgs& args) {
  if (auto path = args.value("--config")) return PathFromUtf8(*path);
  return DefaultDataFiles().config;
}

std::filesystem::path MacrosPathFrom(const ParsedArgs& args) {
  if (auto path = args.value("--macros")) return PathFromUtf8(*path);
  return DefaultDataFiles().macros;
}

void PrintText(const std::filesystem::path& path, std::uint8_t flag, const MouseConfig& config) {
  std::printf("file: %s\n", TerminalText(PathText(path)).c_str());
  std::printf("firstRunFlag: %u\n", flag);
  std::printf("reportRateCode: %u (%s)\n", config.reportRateCode(),
              ReportRateText(config.reportRateCode()).c_str());
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    const auto color = config.dpiColor(stage);
    std::printf(
        "dpi stage %d: dpiStageEnabled %u, dpiLevel %u (sensor type 0: %s DPI), "
        "dpiColor %u %u %u\n",
        stage + 1, config.at(config_offset::kDpiStageEnabled + stage), config.dpiLevel(stage),
        DpiLabel(0, config.dpiLevel(stage)).c_str(), color[0], color[1], color[2]);
  }
  std::printf("lightMode: %u (%s)\n", config.lightMode(),
              LightModeLabel(config.lightMode(), kCliLanguage).c_str());
  for (int mode = 1; mode <= kLightModeCount; ++mode) {
    std::printf("light mode %d (%s): lightLevel %u (%s), rgbEffect %u (%s)\n", mode,
                LightModeLabel(mode, kCliLanguage).c_str(), config.lightLevel(mode),
                LightLevelLabel(mode, config.lightLevel(mode)).c_str(), config.rgbEffect(mode),
                RgbEffectLabel(config.rgbEffect(mode), kCliLanguage).c_str());
  }
  const std::pair<const char*, std::size_t> systemFields[] = {
      {"enhancePointerPrecision", config_offset::kEnhancePointerPrecision},
      {"scrollOneScreen", config_offset::kScrollOneScreen},
      {"pointerSpeedLevel", config_offset::kPointerSpeedLevel},
      {"wheelScrollLines", config_offset::kWheelScrollLines},
      {"doubleClickLevel", config_offset::kDoubleClickLevel},
      {"editedKeyGroup", config_offset::kEditedKeyGroup}};
  for (const auto& [name, offset] : systemFields) std::printf("%s: %u\n", name, config.at(offset));
  for (int group = 0; group < kKeyGroupCount; ++group) {
    std::printf("key group %d:\n", group);
    for (int button = 0; button < kButtonCount; ++button) {
      const std::uint8_t function = config.keyFunction(group, button);
      std::printf("  button %2d: keyFunction %2u %-22s key word %s", button, function,
                  FunctionName(function).c_str(),
                  FormatKeyAction(EncodeKeyAction(config, group, button)).c_str());
      for (const Parameter& parameter : ButtonParameters(config, group, button)) {
        std::printf(", %s %s", parameter.name.c_str(), parameter.text.c_str());
      }
      std::printf("\n");
    }
  }
  for (int macro = 0; macro < kMacroCount; ++macro) {
    const auto block = config.macroBlock(macro);
    int entries = 0;
    while (entries < kMacroEntryCapacity && (block[kMacroEntriesOffset + 2 * entries] != 0 ||
                                             block[kMacroEntriesOffset + 2 * entries + 1] != 0)) {
      ++entries;
    }
    std::printf("macro block %2d: loop count %u, %d entries\n", macro, config.macroLoopCount(macro),
                entries);
  }
  std::printf("reserved: 1920..1924 = %02X %02X %02X %02X %02X, 1926 = %02X, 1954 = %02X\n",
              config.at(1920), config.at(1921), config.at(1922), config.at(1923), config.at(1924),
              config.at(1926), config.at(1954));
}

void PrintJson(const std::filesystem::path& path, std::uint8_t flag, const MouseConfig& config) {
  using json = nlohmann::ordered_json;
  json stages = json::array();
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    const auto color = config.dpiColor(stage);
    stages.push_back({{"dpiStageEnabled", config.at(config_offset::kDpiStageEnabled + stage)},
                      {"dpiLevel", config.dpiLevel(stage)},
                      {"dpiColor", {color[0], color[1], color[2]}}});
  }
  json levels = json::array();
  json effects = json::array();
  for (int mode = 1; mode <= kLightModeCount; ++mode) {
    levels.push_back(config.lightLevel(mode));
    effects.push_back(config.rgbEffect(mode));
  }
  json groups = json::array();
  for (int group = 0; group < kKeyGroupCount; ++group) {
    json buttons = json::array();
    for (int button = 0; button < kButtonCount; ++button) {
      const std::uint8_t function = config.keyFunction(group, button);
      json entry = {{"button", button},
                    {"keyFunction", function},
                    {"function", FunctionName(function)},
                    {"keyWord", FormatKeyAction(EncodeKeyAction(config, group, button))}};
      for (const Parameter& parameter : ButtonParameters(config, group, button)) {
        entry[parameter.name] = parameter.value;
      }
      buttons.push_back(std::move(entry));
    }
    groups.push_back(std::move(buttons));
  }
  json loops = json::array();
  for (int macro = 0; macro < kMacroCount; ++macro) loops.push_back(config.macroLoopCount(macro));
  json reserved1920 = json::array();
  for (int i = 0; i < 5; ++i) reserved1920.push_back(config.at(1920 + i));
  SayJson({{"file", PathText(path)},
           {"firstRunFlag", flag},
           {"reportRateCode", config.reportRateCode()},
           {"dpiStages", std::move(stages)},
           {"lightMode", config.lightMode()},
           {"lightLevel", std::move(levels)},
           {"rgbEffect", std::move(effects)},
           {"enhancePointerPrecision", config.at(config_offset::kEnhancePointerPrecision)},
           {"scrollOneScreen", config.at(config_offset::kScrollOneScreen)},
           {"pointerSpeedLevel", config.at(config_offset::kPointerSpeedLevel)},
           {"wheelScrollLines", config.at(config_offset::kWheelScrollLines)},
           {"doubleClickLevel", config.at(config_offset::kDoubleClickLevel)},
           {"editedKeyGroup", config.editedKeyGroup()},
           {"keyGroups", std::move(groups)},
           {"macroLoopCounts", std::move(loops)},
           {"reserved",
            {{"1920", std::move(reserved1920)},
             {"1926", config.at(1926)},
             {"1954", config.at(1954)}}}});
}

struct RangeCheck {
  std::vector<std::string> problems;  // values the program or the mouse cannot use as they stand
  std::vector<std::string> notes;     // values that only some mice can use
};

RangeCheck CheckRanges(const MouseConfig& config) {
  RangeCheck check;
  auto& problems = check.problems;
  auto problem = [&](const std::string& field, int value, const std::string& rule) {
    problems.push_back(field + " = " + std::to_string(value) + ": " + rule);
  };
  const std::uint8_t rate = config.reportRateCode();
  if (FindReportRate(rate) == nullptr) {
    problem("reportRateCode", rate, "not 1, 2, 4 or 8; the report rate command is not understood");
  }
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    const std::string index = "[" + std::to_string(stage) + "]";
    const std::uint8_t enabled = config.at(config_offset::kDpiStageEnabled + stage);
    if (enabled > 1) problem("dpiStageEnabled" + index, enabled, "not 0 or 1");
    const std::uint8_t level = config.dpiLevel(stage);
    if (level >= DpiLevelCount(0)) {
      problem("dpiLevel" + index, level, "beyond every sensor's DPI table (12 levels at most)");
    } else if (level >= DpiLevelCount(1)) {
      // Valid for a 12-level sensor (type 0), which the file cannot tell from an 8-level one.
      check.notes.push_back("dpiLevel" + index + " = " + std::to_string(level) +
                            ": only sensor type 0 has this level (types 1 to 3 have 8)");
    }
  }
  if (config.lightMode() > 3) problem("lightMode", config.lightMode(), "above 3");
  for (int mode = 1; mode <= kLightModeCount; ++mode) {
    if (config.lightLevel(mode) >= LightLevelCount(mode)) {
      problem("lightLevel[" + std::to_string(mode - 1) + "]", config.lightLevel(mode),
              "beyond the " + std::to_string(LightLevelCount(mode)) + " levels of mode " +
                  std::to_string(mode));
    }
  }
  if (config.rgbEffect(2) != 1 && config.rgbEffect(2) != 2) {
    problem("rgbEffect[1]", config.rgbEffect(2), "respiration mode takes 1 or 2");
  }
  if (config.rgbEffect(3) != 2 && config.rgbEffect(3) != 3) {
    problem("rgbEffect[2]", config.rgbEffect(3), "neon mode takes 2 or 3");
  }
  for (const auto& [name, offset] :
       {std::pair{"enhancePointerPrecision", config_offset::kEnhancePointerPrecision},
        std::pair{"scrollOneScreen", config_offset::kScrollOneScreen}}) {
    if (config.at(offset) > 1) problem(name, config.at(offset), "not 0 or 1");
  }
  for (const auto& [name, offset] :
       {std::pair{"pointerSpeedLevel", config_offset::kPointerSpeedLevel},
        std::pair{"doubleClickLevel", config_offset::kDoubleClickLevel}}) {
    if (config.at(offset) < 1 || config.at(offset) > 11)
      problem(name, config.at(offset), "not 1..11");
  }
  if (config.editedKeyGroup() > 1) problem("editedKeyGroup", config.editedKeyGroup(), "not 0 or 1");
  for (int group = 0; group < kKeyGroupCount; ++group) {
    for (int button = 0; button < kButtonCount; ++button) {
      const std::string where =
          "keyGroups[" + std::to_string(group) + "] button " + std::to_string(button) + " ";
      const std::uint8_t code = config.keyFunction(group, button);
      const KeyFunctionRow* function = FindKeyFunction(code);
      if (function == nullptr) {
        problem(where + "keyFunction", code,
                "above " + std::to_string(kKeyFunctionCount - 1) + "; the button does nothing");
        continue;
      }
      if (function->function == KeyFunction::kDpiSwitch) {
        const std::uint8_t stage = config.dpiSwitchStage(group, button);
        if (stage < 1 || stage > 4) problem(where + "dpiSwitchStage", stage, "not 1..4");
      }
      for (const KeyAttribute attribute : function->attributes) {
        const std::uint8_t value = config.keyAttribute(group, attribute, button);
        if (const char* rule = AttributeRangeProblem(attribute, value)) {
          problem(where + AttributeName(attribute), value, rule);
        }
      }
    }
  }
  return check;
}

}  // namespace

int RunConfigShow(const std::vector<std::string>& words) {
  const auto args = ParseArgs(words, {"--config"}, {"--json"});
  if (!args || !args->positional.empty()) return UsageError("config show [--config FILE] [--json]");
  const auto path = ConfigPathFrom(*args);
  MouseConfig config;
  std::uint8_t flag = 0;
  if (!LoadForCommand(path, config, flag)) return kExitFileError;
  if (args->has("--json")) {
    PrintJson(path, flag, config);
  } else {
    PrintText(path, flag, config);
  }
  return kExitOk;
}

int RunConfigCheck(const std::vector<std::string>& words) {
  const auto args = ParseArgs(words, {"--config"}, {});
  if (!args || !args->positional.empty()) return UsageError("config check [--config FILE]");
  const auto path = ConfigPathFrom(*args);
  MouseConfig config;
  std::uint8_t flag = 0;
  if (!LoadForCommand(path, config, flag)) return kExitFileError;
  const RangeCheck check = CheckRanges(config);
  const auto& problems = check.problems;
  for (const std::string& problem : problems) {
    std::printf("%s: %s\n", Quoted(path).c_str(), problem.c_str());
  }
  for (const std::string& note : check.notes) {
    std::printf("%s: note: %s\n", Quoted(path).c_str(), note.c_str());
  }
  if (!problems.empty()) {
    std::printf("%s loads, but %zu value(s) are out of range\n", Quoted(path).c_str(),
                problems.size());
    return kExitFileError;
  }
  std::printf("%s loads; every value is in range\n", Quoted(path).c_str());
  return kExitOk;
}

int RunConfigFactory(const std::vector<std::string>& words) {
  const auto args = ParseArgs(words, {"--output"}, {});
  if (!args || !args->positional.empty() || !args->has("--output")) {
    return UsageError("config factory --output FILE");
  }
  // The factory file carries flag 0, so the window starts from the factory captions.
  const auto written = WriteFileAtomically(PathFromUtf8(*args->value("--output")),
                                           ConfigFileImage(0, FactoryConfig()));
  if (!written) {
    PrintError(written.error().message);
    return kExitFileError;
  }
  return kExitOk;
}

namespace {

// Loads record.ini for a macro command; a missing file is an error here (the command names it).
std::optional<IniDocument> LoadMacros(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    PrintError(Quoted(path) + ": file does not exist");
    return std::nullopt;
  }
  auto loaded = IniDocument::Load(path);
  if (!loaded) {
    PrintError(loaded.error().message);
    return std::nullopt;
  }
  return std::move(loaded).value();
}

std::string_view IgnoredReason(SectionIssue issue) {
  return issue == SectionIssue::kBeyondTwelve ? "the mouse holds twelve macros"
                                              : "an earlier section has the same name";
}

void PrintIgnoredSections(const std::filesystem::path& path, const MacroNameList& list) {
  for (const IgnoredSection& ignored : list.ignored) {
    std::printf("%s: section \"%s\" is ignored: %s\n", Quoted(path).c_str(),
                TerminalText(ignored.name).c_str(),
                std::string(IgnoredReason(ignored.issue)).c_str());
  }
}

// What is wrong with how the macro's lines read, in words: the "ItemCount" problem and the cut
// lines; empty when nothing is.
std::vector<std::string> LineNotes(const MacroLineList& lines) {
  std::vector<std::string> notes;
  if (const std::string issue = DescribeMacroLinesIssue(lines); !issue.empty()) {
    notes.push_back(issue);
  }
  if (const std::string cut = DescribeCutLines(lines); !cut.empty()) notes.push_back(cut);
  return notes;
}

}  // namespace

int RunMacroList(const std::vector<std::string>& words) {
  const auto args = ParseArgs(words, {"--macros"}, {"--json"});
  if (!args || !args->positional.empty()) return UsageError("macro list [--macros FILE] [--json]");
  const auto path = MacrosPathFrom(*args);
  const auto doc = LoadMacros(path);
  if (!doc) return kExitFileError;
  const MacroNameList list = MacroNames(*doc);
  if (args->has("--json")) {
    nlohmann::ordered_json macros = nlohmann::ordered_json::array();
    for (std::size_t slot = 0; slot < list.names.size(); ++slot) {
      const MacroLineList lines = MacroLines(*doc, list.names[slot]);
      macros.push_back({{"slot", slot + 1},
                        {"name", list.names[slot]},
                        {"lines", lines.lines.size()},
                        {"notes", LineNotes(lines)}});
    }
    nlohmann::ordered_json ignored = nlohmann::ordered_json::array();
    for (const IgnoredSection& section : list.ignored) {
      ignored.push_back({{"name", section.name},
                         {"section", section.filePosition + 1},
                         {"reason", IgnoredReason(section.issue)}});
    }
    SayJson(
        {{"file", PathText(path)}, {"macros", std::move(macros)}, {"ignored", std::move(ignored)}});
    return kExitOk;
  }
  for (std::size_t slot = 0; slot < list.names.size(); ++slot) {
    const MacroLineList lines = MacroLines(*doc, list.names[slot]);
    std::printf("slot %2zu: %s (%zu lines)\n", slot + 1, TerminalText(list.names[slot]).c_str(),
                lines.lines.size());
    for (const std::string& note : LineNotes(lines)) {
      std::printf("  note: %s\n", TerminalText(note).c_str());
    }
  }
  if (list.names.empty()) std::printf("%s holds no macros\n", Quoted(path).c_str());
  PrintIgnoredSections(path, list);
  return kExitOk;
}

int RunMacroShow(const std::vector<std::string>& words) {
  const auto args = ParseArgs(words, {"--macros"}, {"--json"});
  if (!args || args->positional.size() != 1) {
    return UsageError("macro show NAME [--macros FILE] [--json]");
  }
  const auto path = MacrosPathFrom(*args);
  const auto doc = LoadMacros(path);
  if (!doc) return kExitFileError;
  const std::string& name = args->positional[0];
  if (!doc->hasSection(name)) {
    PrintError(Quoted(path) + ": no macro named \"" + name + "\"");
    return kExitFileError;
  }
  const MacroLineList lines = MacroLines(*doc, name);
  const std::vector<std::string> notes = LineNotes(lines);
  if (args->has("--json")) {
    SayJson({{"file", PathText(path)},
             {"name", name},
             {"itemCount", lines.itemCount},
             {"lines", lines.lines},
             {"cutLines", lines.cutLines},
             {"notes", notes}});
    return kExitOk;
  }
  std::printf("ItemCount: %d\n", lines.itemCount);
  for (std::size_t i = 0; i < lines.lines.size(); ++i) {
    std::printf("Item%zu: %s\n", i, TerminalText(lines.lines[i]).c_str());
  }
  for (const std::string& note : notes) {
    std::printf("note: macro \"%s\": %s\n", TerminalText(name).c_str(), TerminalText(note).c_str());
  }
  return kExitOk;
}

int RunMacroCompile(const std::vector<std::string>& words) {
  const auto args = ParseArgs(words, {"--macros", "--config"}, {});
  if (!args || !args->positional.empty()) {
    return UsageError("macro compile [--macros FILE] [--config FILE]");
  }
  const auto macrosPath = MacrosPathFrom(*args);
  const auto configPath = ConfigPathFrom(*args);
  const auto doc = LoadMacros(macrosPath);
  if (!doc) return kExitFileError;
  MouseConfig config;
  std::uint8_t flag = 0;
  if (!LoadForCommand(configPath, config, flag)) return kExitFileError;

  const CompileReport report = CompileMacros(*doc, config);
  // Only the macro blocks change; the flag byte stays as it was, so compiling from the command
  // line does not alter how the window first shows the button captions.
  const auto saved = WriteFileAtomically(configPath, ConfigFileImage(flag, config));
  if (!saved) {
    PrintError(saved.error().message);
    return kExitFileError;
  }
  for (const CompiledMacro& macro : report.macros) {
    std::printf("slot %2d: %s: %d entries\n", macro.block + 1, TerminalText(macro.name).c_str(),
                macro.entries);
  }
  for (const CompileProblem& problem : report.problems) {
    PrintError(Quoted(macrosPath) + ": " + FormatCompileProblem(problem));
  }
  std::printf("saved %s\n", Quoted(configPath).c_str());
  return report.clean() ? kExitOk : kExitFileError;
}

}  // namespace vm31::cli
