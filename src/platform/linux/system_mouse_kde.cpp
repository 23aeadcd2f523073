#include "platform/linux/system_mouse_kde.h"

#include <gio/gio.h>

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/ini_file.h"

namespace vm31 {

namespace {

constexpr char kGlobalsFile[] = "kdeglobals";
constexpr char kGlobalsSection[] = "KDE";
constexpr char kWheelLinesKey[] = "WheelScrollLines";
constexpr char kDoubleClickKey[] = "DoubleClickInterval";
constexpr char kInputFile[] = "kcminputrc";
constexpr char kInputSection[] = "Mouse";
constexpr char kFlatProfileKey[] = "XLbInptAccelProfileFlat";
constexpr char kAccelerationKey[] = "XLbInptPointerAcceleration";

// Plasma's own defaults for keys that are not written.
constexpr int kKdeWheelLines = 3;
constexpr int kKdeDoubleClick = 400;

// KGlobalSettings::SettingsChanged with the mouse category.
constexpr int kSettingsChanged = 3;
constexpr int kMouseCategory = 0;

std::string Where(const std::filesystem::path& file, std::string_view section,
                  std::string_view key) {
  return file.string() + " [" + std::string(section) + "] " + std::string(key);
}

// One key of a KDE file: the value, nullopt when the file or key is missing, or an Error when
// the file cannot be read.
Result<std::optional<std::string>> FindValue(const std::filesystem::path& file,
                                             std::string_view section, std::string_view key) {
  Result<IniDocument> document = IniDocument::Load(file);
  if (!document) return document.error();
  return document.value().find(section, key);
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Reads a number; `fallback` when missing. Fails on an unreadable file or a value that is not a
// number within [low, high].
template <typename T>
SystemReading<T> ReadNumber(const std::filesystem::path& file, std::string_view section,
                            std::string_view key, T fallback, T low, T high) {
  Result<std::optional<std::string>> found = FindValue(file, section, key);
  if (!found) return {SystemOutcome::kFailed, T{}, found.error().message};
  if (!found.value()) return {SystemOutcome::kDone, fallback, {}};
  const std::optional<T> value = ParseNumber<T>(*found.value());
  if (!value || *value < low || *value > high) {
    return {SystemOutcome::kFailed, T{},
            Where(file, section, key) + ": \"" + *found.value() + "\" is not a valid value"};
  }
  return {SystemOutcome::kDone, *value, {}};
}

// Tells running KDE programs that the mouse settings changed. Quietly does nothing without a
// session bus.
void NotifyMouseSettingsChanged() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return;
  g_dbus_connection_emit_signal(bus, nullptr, "/KGlobalSettings", "org.kde.KGlobalSettings",
                                "notifyChange",
                                g_variant_new("(ii)", kSettingsChanged, kMouseCategory), nullptr);
  g_dbus_connection_flush_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
}

SystemWriting WriteValue(const std::filesystem::path& folder, const char* fileName,
                         std::string_view section, std::string_view key, std::string_view value) {
  const std::filesystem::path file = folder / fileName;
  std::error_code error;
  const bool existed = std::filesystem::exists(file, error);
  Result<IniDocument> loaded = IniDocument::Load(file);
  if (!loaded) return {SystemOutcome::kFailed, loaded.error().message};
  IniDocument document = std::move(loaded.value());
  if (!existed) {
    // KDE's files use plain line feeds; a new document would take "\r\n".
    const std::string header = "[" + std::string(section) + "]\n";
    document = IniDocument::Parse(Bytes(header.begin(), header.end()));
  }
  document.write(section, key, value);
  std::filesystem::create_directories(folder, error);
  if (error) {
    return {SystemOutcome::kFailed, folder.string() + ": cannot create: " + error.message()};
  }
  if (Status saved = document.Save(file); !saved) {
    return {SystemOutcome::kFailed, saved.error().message};
  }
  NotifyMouseSettingsChanged();
  return {SystemOutcome::kDone, {}};
}

}  // namespace

SystemReading<bool> KdeSystemMouse::readPointerPrecision() {
  const std::filesystem::path file = configFolder_ / kInputFile;
  Result<std::optional<std::string>> found = FindValue(file, kInputSection, kFlatProfileKey);
  if (!found) return {SystemOutcome::kFailed, false, found.error().message};
  if (!found.value()) return {SystemOutcome::kDone, true, {}};
  const std::string& value = *found.value();
  if (value == "true") return {SystemOutcome::kDone, false, {}};
  if (value == "false") return {SystemOutcome::kDone, true, {}};
  return {SystemOutcome::kFailed, false,
          Where(file, kInputSection, kFlatProfileKey) + ": \"" + value + "\" is not true or false"};
}

SystemReading<int> KdeSystemMouse::readPointerSpeed() {
  const SystemReading<double> acceleration = ReadNumber<double>(
      configFolder_ / kInputFile, kInputSection, kAccelerationKey, 0.0, -1.0, 1.0);
  return {acceleration.outcome, PointerSpeedFromDesktopSpeed(acceleration.value),
          acceleration.detail};
}

SystemReading<std::uint32_t> KdeSystemMouse::readWheelScrollLines() {
  const SystemReading<int> lines = ReadNumber<int>(configFolder_ / kGlobalsFile, kGlobalsSection,
                                                   kWheelLinesKey, kKdeWheelLines, 1, 1000);
  return {lines.outcome, static_cast<std::uint32_t>(lines.value), lines.detail};
}

SystemReading<int> KdeSystemMouse::readDoubleClickTime() {
  return ReadNumber<int>(configFolder_ / kGlobalsFile, kGlobalsSection, kDoubleClickKey,
                         kKdeDoubleClick, 1, 60000);
}

SystemWriting KdeSystemMouse::writePointerPrecision(bool on) {
  return WriteValue(configFolder_, kInputFile, kInputSection, kFlatProfileKey,
                    on ? "false" : "true");
}

SystemWriting KdeSystemMouse::writePointerSpeed(int speed) {
  char text[32];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, DesktopSpeedFromPointerSpeed(speed));
  if (error != std::errc()) return {SystemOutcome::kFailed, "pointer speed: cannot format"};
  return WriteValue(configFolder_, kInputFile, kInputSection, kAccelerationKey,
                    std::string_view(text, static_cast<std::size_t>(end - text)));
}

SystemWriting KdeSystemMouse::writeWheelScrollLines(std::uint32_t lines) {
  if (lines == kWheelPageScroll) {
    return {SystemOutcome::kUnavailable, "KDE Plasma has no scroll-one-screen setting"};
  }
  // Plasma scrolls at least one line per notch.
  if (lines == 0) lines = 1;
  return WriteValue(configFolder_, kGlobalsFile, kGlobalsSection, kWheelLinesKey,
                    std::to_string(lines));
}

SystemWriting KdeSystemMouse::writeDoubleClickTime(int milliseconds) {
  return WriteValue(configFolder_, kGlobalsFile, kGlobalsSection, kDoubleClickKey,
                    std::to_string(milliseconds));
}

}  // namespace vm31
