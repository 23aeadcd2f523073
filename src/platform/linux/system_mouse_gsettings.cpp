#include "platform/linux/system_mouse_gsettings.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <string>

namespace vm31 {

namespace {

constexpr char kSpeedKey[] = "speed";
constexpr char kAccelProfileKey[] = "accel-profile";
constexpr char kDoubleClickKey[] = "double-click";

std::string KeyName(const char* key) {
  return std::string(kGnomeMouseSchema) + " " + key;
}

}  // namespace

struct GSettingsSystemMouse::State {
  GSettingsSchema* schema = nullptr;
  GSettings* settings = nullptr;

  ~State() {
    if (settings != nullptr) g_object_unref(settings);
    if (schema != nullptr) g_settings_schema_unref(schema);
  }

  // True when the schema has `key` with the GVariant type `type` ("d", "i", "s"; an enum key
  // is a string).
  bool hasKey(const char* key, const char* type) const {
    if (!g_settings_schema_has_key(schema, key)) return false;
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
    const bool typed =
        g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey), G_VARIANT_TYPE(type));
    g_settings_schema_key_unref(schemaKey);
    return typed;
  }

  // Writes `value` (floating references are taken) when the key exists, is writable and the
  // value lies in the key's range, and flushes it to the backend.
  SystemWriting write(const char* key, const char* type, GVariant* value) {
    g_variant_ref_sink(value);
    SystemWriting result;
    if (!hasKey(key, type)) {
      result = {SystemOutcome::kUnavailable, KeyName(key) + ": no such key"};
    } else if (!g_settings_is_writable(settings, key)) {
      result = {SystemOutcome::kFailed, KeyName(key) + ": the key is locked"};
    } else {
      GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
      const bool inRange = g_settings_schema_key_range_check(schemaKey, value);
      g_settings_schema_key_unref(schemaKey);
      if (!inRange) {
        gchar* text = g_variant_print(value, FALSE);
        result = {SystemOutcome::kFailed, KeyName(key) + ": " + text + " is out of range"};
        g_free(text);
      } else if (!g_settings_set_value(settings, key, value)) {
        result = {SystemOutcome::kFailed, KeyName(key) + ": the settings backend refused it"};
      } else {
        g_settings_sync();
        result = {SystemOutcome::kDone, {}};
      }
    }
    g_variant_unref(value);
    return result;
  }
};

std::unique_ptr<GSettingsSystemMouse> GSettingsSystemMouse::Create() {
  // Without dconf (or another persistent backend) GIO falls back to a backend that keeps values
  // in memory only: every write would "succeed" and be lost when the program ends.
  GSettingsBackend* backend = g_settings_backend_get_default();
  const std::string backendType = G_OBJECT_TYPE_NAME(backend);
  g_object_unref(backend);
  if (backendType == "GMemorySettingsBackend" || backendType == "GNullSettingsBackend") {
    return nullptr;
  }
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (source == nullptr) return nullptr;
  GSettingsSchema* schema = g_settings_schema_source_lookup(source, kGnomeMouseSchema, TRUE);
  if (schema == nullptr) return nullptr;
  auto state = std::make_unique<State>();
  state->schema = schema;
  state->settings = g_settings_new_full(schema, nullptr, nullptr);
  return std::unique_ptr<GSettingsSystemMouse>(new GSettingsSystemMouse(std::move(state)));
}

GSettingsSystemMouse::GSettingsSystemMouse(std::unique_ptr<State> state)
    : state_(std::move(state)) {}

GSettingsSystemMouse::~GSettingsSystemMouse() = default;

SystemReading<bool> GSettingsSystemMouse::readPointerPrecision() {
  if (!state_->hasKey(kAccelProfileKey, "s")) {
    return {SystemOutcome::kUnavailable, false, KeyName(kAccelProfileKey) + ": no such key"};
  }
  gchar* profile = g_settings_get_string(state_->settings, kAccelProfileKey);
  const bool adaptive = std::string(profile) == "adaptive";
  g_free(profile);
  return {SystemOutcome::kDone, adaptive, {}};
}

SystemReading<int> GSettingsSystemMouse::readPointerSpeed() {
  if (!state_->hasKey(kSpeedKey, "d")) {
    return {SystemOutcome::kUnavailable, 0, KeyName(kSpeedKey) + ": no such key"};
  }
  const double speed = g_settings_get_double(state_->settings, kSpeedKey);
  return {SystemOutcome::kDone, PointerSpeedFromDesktopSpeed(speed), {}};
}

SystemReading<std::uint32_t> GSettingsSystemMouse::readWheelScrollLines() {
  return {SystemOutcome::kUnavailable, 0, "GNOME has no wheel scroll-lines setting"};
}

SystemReading<int> GSettingsSystemMouse::readDoubleClickTime() {
  if (!state_->hasKey(kDoubleClickKey, "i")) {
    return {SystemOutcome::kUnavailable, 0, KeyName(kDoubleClickKey) + ": no such key"};
  }
  return {SystemOutcome::kDone, g_settings_get_int(state_->settings, kDoubleClickKey), {}};
}

SystemWriting GSettingsSystemMouse::writePointerPrecision(bool on) {
  return state_->write(kAccelProfileKey, "s", g_variant_new_string(on ? "adaptive" : "flat"));
}

SystemWriting GSettingsSystemMouse::writePointerSpeed(int speed) {
  return state_->write(kSpeedKey, "d", g_variant_new_double(DesktopSpeedFromPointerSpeed(speed)));
}

SystemWriting GSettingsSystemMouse::writeWheelScrollLines(std::uint32_t) {
  return {SystemOutcome::kUnavailable, "GNOME has no wheel scroll-lines setting"};
}

SystemWriting GSettingsSystemMouse::writeDoubleClickTime(int milliseconds) {
  return state_->write(kDoubleClickKey, "i", g_variant_new_int32(milliseconds));
}

}  // namespace vm31
