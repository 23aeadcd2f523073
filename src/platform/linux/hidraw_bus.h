#pragma once
// HID access through the kernel's hidraw nodes, found with libudev. One hidraw node is one HID
// interface of a device; each of its top-level collections is listed as one HidInterfaceInfo
// (the node's path, followed by "#<n>" for the n-th collection when the node holds several).

#include <memory>

#include "core/device/ports.h"

namespace vm31::linux_platform {

class HidrawBus : public HidBus {
 public:
  // Fails only when libudev itself cannot be set up.
  static Result<std::unique_ptr<HidrawBus>> create();
  ~HidrawBus() override;

  // Lists the collections of every hidraw node. Only nodes of a device whose ids are in
  // `examineIds` (empty: every node) are opened to read their report descriptor; the others are
  // listed with their ids and one collection of zeros. A node that cannot be opened falls back
  // to the descriptor in sysfs, then to ids only.
  Result<std::vector<HidInterfaceInfo>> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode mode) override;

  // Restricts which devices' nodes enumerate() opens (the program only needs its mouse).
  void setExaminedIds(std::uint16_t vendorId, std::uint16_t productId);

 private:
  struct State;
  explicit HidrawBus(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// The node part of a path enumerate() produced ("/dev/hidraw3#1" -> "/dev/hidraw3").
std::string HidrawNodeOfPath(const std::string& path);

// True when the report descriptor declares report ids: then every report on the node starts
// with its id; otherwise the kernel's read() returns reports without the leading 0.
bool DescriptorUsesReportIds(std::span<const std::uint8_t> descriptor);

}  // namespace vm31::linux_platform
