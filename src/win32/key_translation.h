#pragma once
// The HID keyboard usage of a Win32 key message, by the key's place on the keyboard: the scan
// code (set 1) and the extended-key flag of the message's lParam. Going by the place tells the
// keypad and the right-hand modifiers apart whatever NumLock and the keyboard layout say.

#include <cstdint>

#include "core/ui/ports.h"

namespace vm31::win32 {

// The usage of scan code `scanCode` (set 1, 0x01..0x7F), `extended` for the E0-prefixed keys;
// 0 when it names none.
std::uint16_t UsageOfScanCode(std::uint8_t scanCode, bool extended);

// A key message's event: `virtualKey` and `lParam` as WM_KEYDOWN/WM_KEYUP give them, the
// modifiers held now (GetKeyState), the message time. The usage is the scan code's; for a key
// the scan-code table does not place, that of the name GetKeyNameTextW gives it when the key
// tables hold that name (KeyUsageFromName); else 0.
KeyEvent TranslateKeyMessage(bool down, std::uintptr_t virtualKey, std::intptr_t lParam,
                             std::uint64_t time);

}  // namespace vm31::win32
