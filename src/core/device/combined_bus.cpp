#include "core/device/combined_bus.h"

#include <optional>

namespace vm31 {

Result<std::vector<HidInterfaceInfo>> CombinedBus::enumerate() {
  std::vector<HidInterfaceInfo> all;
  owners_.clear();
  std::optional<Error> firstError;
  for (HidBus* bus : buses_) {
    auto listed = bus->enumerate();
    if (!listed) {
      if (!firstError) firstError = listed.error();
      continue;  // one bus failing does not hide the others' devices
    }
    for (auto& info : listed.value()) {
      owners_[info.path] = bus;
      all.push_back(std::move(info));
    }
  }
  if (all.empty() && firstError) return *firstError;
  return all;
}

Result<std::unique_ptr<HidHandle>> CombinedBus::open(const HidInterfaceInfo& info,
                                                     HidOpenMode mode) {
  const auto owner = owners_.find(info.path);
  if (owner == owners_.end()) {
    return MakeError(ErrorCode::kNotFound, info.path + ": not listed by the last enumeration");
  }
  return owner->second->open(info, mode);
}

}  // namespace vm31
