#include "core/settings/config_file.h"
#include "core/util/path_text.h"

#include <algorithm>
#include <system_error>

namespace vm31 {

ConfigLoadResult LoadConfig(const std::filesystem::path& path, MouseConfig& config,
                            std::uint8_t& firstRunFlag) {
  const std::string name = "\"" + PathText(path) + "\"";
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return {ConfigLoadOutcome::kMissing, name + ": file does not exist"};
  }
  const auto size = std::filesystem::file_size(path, error);
  if (!error && size != kConfigFileSize) {
    return {ConfigLoadOutcome::kWrongSize, name + ": " + std::to_string(size) +
                                               " bytes, a settings file has exactly " +
                                               std::to_string(kConfigFileSize)};
  }
  // Read at most one byte past the expected size: a file that grew in between is still refused
  // without reading it whole.
  auto content = ReadWholeFile(path, kConfigFileSize + 1);
  if (!content) {
    const bool tooLarge = content.error().code == ErrorCode::kBadFormat;
    return {tooLarge ? ConfigLoadOutcome::kWrongSize : ConfigLoadOutcome::kUnreadable,
            content.error().message};
  }
  const Bytes& bytes = content.value();
  if (bytes.size() != kConfigFileSize) {
    return {ConfigLoadOutcome::kWrongSize, name + ": " + std::to_string(bytes.size()) +
                                               " bytes, a settings file has exactly " +
                                               std::to_string(kConfigFileSize)};
  }
  firstRunFlag = bytes[0];
  std::copy(bytes.begin() + 1, bytes.end(), config.bytes.begin());
  return {ConfigLoadOutcome::kLoaded, {}};
}

Bytes ConfigFileImage(std::uint8_t firstRunFlag, const MouseConfig& config) {
  Bytes image;
  image.reserve(kConfigFileSize);
  image.push_back(firstRunFlag);
  image.insert(image.end(), config.bytes.begin(), config.bytes.end());
  return image;
}

Result<PreparedFile> PrepareConfigSave(const std::filesystem::path& path,
                                       const MouseConfig& config) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return MakeError(ErrorCode::kNotFound, kConfigMissingMessage);
  }
  return PreparedFile::Prepare(path, ConfigFileImage(1, config));
}

Status SaveConfig(const std::filesystem::path& path, const MouseConfig& config) {
  Result<PreparedFile> prepared = PrepareConfigSave(path, config);
  if (!prepared) return prepared.error();
  return prepared.value().commit();
}

}  // namespace vm31
