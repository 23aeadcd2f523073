// Keys as the shell hands them to the window models: the usage comes from the key's place
// (the native scan code, evdev code + 8), so the key tables name keypad keys and right-hand
// modifiers whatever NumLock and the layout say.

#include <gtest/gtest.h>

#include "core/keys/key_tables.h"
#include "core/ui/key_dialogs.h"
#include "platform/linux/key_names.h"
#include "qt/skinned_window.h"

namespace vm31 {
namespace {

TEST(KeyTranslation, TheScanCodeDecidesTheName) {
  struct Case {
    int qtKey;
    quint32 scanCode;
    std::string name;
  };
  const Case cases[] = {
      {Qt::Key_End, 79 + 8, "Num 1"},  // keypad 1 with NumLock off
      {Qt::Key_1, 79 + 8, "Num 1"},    // and on
      {Qt::Key_1, 2 + 8, "1"},
      {Qt::Key_Delete, 83 + 8, "Num Del"},  // keypad decimal, NumLock off
      {Qt::Key_Control, 97 + 8, "Right Ctrl"},
      {Qt::Key_Meta, 125 + 8, "Left Windows"},
      {Qt::Key_Escape, 1 + 8, "Esc"},
      {Qt::Key_Enter, 96 + 8, "Num Enter"},
      {Qt::Key_Q, 16 + 8, "Q"},  // the key's place, whatever the layout names it
      {Qt::Key_A, 0, "A"},       // no scan code: the key symbol decides
  };
  const linux_keys::NativeScanCodeKeyNames keyNames;
  for (const Case& c : cases) {
    const KeyEvent key = qt::TranslateKey(c.qtKey, c.scanCode, Qt::NoModifier, true, 0, &keyNames);
    EXPECT_EQ(CapturedKeyName(key), c.name) << c.scanCode;
  }
}

}  // namespace
}  // namespace vm31
