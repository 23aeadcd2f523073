#pragma once
// Key names on Linux: the HID keyboard usage of a key from its evdev key code, which X11 and
// Wayland hand to applications as the native scan code plus 8. Going by the code, not by the
// symbol the keyboard layout gives, tells left and right modifiers and the keypad's keys apart
// whatever NumLock and the layout say; the key tables then name the usage ("Num 1", "Right
// Ctrl", "Left Windows").

#include <cstdint>

#include "core/ui/ports.h"

namespace vm31::linux_keys {

// The usage of evdev key code `code` (KEY_ESC = 1 ...); 0 for codes without one.
std::uint16_t UsageFromEvdevCode(std::uint32_t code);

// The usage of a native scan code as X11 and Wayland report it (evdev code + 8); 0 for none.
inline std::uint16_t UsageFromNativeScanCode(std::uint32_t scanCode) {
  return scanCode >= 8 ? UsageFromEvdevCode(scanCode - 8) : 0;
}

// The `KeyNames` port for X11 and Wayland key events.
class NativeScanCodeKeyNames final : public KeyNames {
 public:
  std::uint16_t usageOfNativeKey(std::uint32_t nativeCode) const override {
    return UsageFromNativeScanCode(nativeCode);
  }
};

}  // namespace vm31::linux_keys
