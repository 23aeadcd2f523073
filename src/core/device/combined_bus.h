#pragma once
// Several buses as one (the hidraw nodes and the emulated mouse): enumerate() lists them one
// after the other, open() goes to the bus that listed the path. Used on one thread at a time,
// like the buses it joins.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/device/ports.h"

namespace vm31 {

class CombinedBus : public HidBus {
 public:
  // The buses outlive the combined bus.
  explicit CombinedBus(std::vector<HidBus*> buses) : buses_(std::move(buses)) {}
  // One bus failing does not hide the others' devices; the first failure is reported only when
  // no bus listed anything.
  Result<std::vector<HidInterfaceInfo>> enumerate() override;
  // A path the last enumerate() did not list fails with ErrorCode::kNotFound.
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode mode) override;

 private:
  std::vector<HidBus*> buses_;
  std::map<std::string, HidBus*> owners_;  // path -> bus, from the last enumerate()
};

}  // namespace vm31
