// The popup dialogs of key assignment on the recording host: the shared frame (hover, ending,
// a missing background), the drop-down lists, and each dialog's results and corrections.

#include "core/ui/key_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/keys/key_encoding.h"
#include "support/dialog_rig.h"
#include "support/main_window_rig.h"

namespace vm31 {
namespace {

using testing::DialogRig;
using testing::kOnCancel;
using testing::kOnOk;
using testing::LinesStarting;
using testing::Log;
using testing::RecordingWindow;

constexpr Point kAway{100, 30};

KeyEvent Key(std::uint16_t usage, bool down = true) {
  KeyEvent key;
  key.usage = usage;
  key.down = down;
  return key;
}

TEST(PopupFrame, HoverMovesBetweenOkAndCancelInOneUpdate) {
  DialogRig rig;
  CMediaDialog dialog(rig.skin, rig.font);
  ASSERT_TRUE(rig.open(dialog));
  dialog.onMouseMove(kOnOk);
  EXPECT_EQ(rig.log, Log{});  // the hover that follows does the drawing
  dialog.onHover(kOnOk);
  rig.log.clear();
  dialog.onHover(kOnCancel);
  EXPECT_EQ(rig.log, (Log{"img /button-over.png @270,253", "text 'Cancel' [270,253,375,274] centre",
                          "img /button-normal.png @166,253", "text 'OK' [166,253,271,274] centre",
                          "present"}));
  EXPECT_TRUE(dialog.cancelLit());
  EXPECT_FALSE(dialog.okLit());
  rig.log.clear();
  dialog.onMouseMove(kAway);
  EXPECT_EQ(rig.log, (Log{"img /button-normal.png @270,253",
                          "text 'Cancel' [270,253,375,274] centre", "present"}));
  rig.log.clear();
  dialog.onMouseMove(kAway);
  EXPECT_EQ(rig.log, Log{});
}

TEST(PopupFrame, ButtonsEndTheDialogAndTheSharedColumnIsOk) {
  for (const auto& [at, code] :
       {std::pair{kOnOk, kModalOk}, std::pair{Point{270, 260}, kModalOk},
        std::pair{kOnCancel, kModalCancel}, std::pair{Point{360, 10}, kModalCancel}}) {
    DialogRig rig;
    CDelayTimeDialog dialog(rig.skin, rig.font);
    rig.open(dialog);
    dialog.onLeftButtonDown(at);
    EXPECT_EQ(rig.window.modalCode, code) << at.x;
  }
}

TEST(PopupFrame, AMissingBackgroundIsReportedAndEndsAsCancel) {
  DialogRig rig({.pictures = false});
  CSingleDialog dialog(rig.skin, rig.font);
  EXPECT_FALSE(rig.start(dialog));
  EXPECT_EQ(LinesStarting(rig.log, "message"),
            Log{"message 'error' caption 'Single Key Dialog Load background image failed!!!'"});
  EXPECT_EQ(rig.window.modalCode, kModalCancel);
  EXPECT_FALSE(rig.window.exists(CSingleDialog::kValueId));
}

TEST(PopupFrame, LabelsFollowTheLanguage) {
  DialogRig rig({.language = UiLanguage::kTraditionalChinese});
  CDelayTimeDialog dialog(rig.skin, rig.font);
  rig.start(dialog);
  EXPECT_EQ(LinesStarting(rig.log, "text '確定'").size(), 1u);
  EXPECT_EQ(LinesStarting(rig.log, "text '取消'").size(), 1u);
}

// The window system gives a dialog's first field the focus as it comes up unless the dialog
// holds it itself: a key pressed at once would fill the combination's first key.
TEST(PopupFrame, OpensWithTheFocusOnTheDialogItself) {
  DialogRig rig;
  CComboDialog dialog(rig.skin, rig.font);
  ASSERT_TRUE(rig.start(dialog));
  const Log focus = LinesStarting(rig.log, "focus");
  ASSERT_EQ(focus, Log{"focus -1"});
  const auto created =
      std::find(rig.log.begin(), rig.log.end(),
                "create " + std::to_string(CComboDialog::kSecondKeyId) + " " + "[50,170,131,184]");
  ASSERT_NE(created, rig.log.end());
  EXPECT_NE(std::find(created, rig.log.end(), "focus -1"), rig.log.end());
  dialog.onKey(Key(0x06));
  EXPECT_EQ(dialog.firstKeyName(), "");
}

// A field the list covers loses the focus to the dialog, not to the next control: a key then
// changes neither a field nor the list.
TEST(DropList, OpeningGivesTheFocusToTheDialog) {
  DialogRig rig;
  CComboDialog dialog(rig.skin, rig.font);
  rig.open(dialog);
  rig.window.setFocus(CComboDialog::kFirstKeyId);
  dialog.onLeftButtonDown({125, 75});
  ASSERT_TRUE(dialog.listOpen());
  EXPECT_EQ(rig.window.focusedControl(), kNoControl);
  dialog.onKey(Key(0x06));
  EXPECT_EQ(dialog.firstKeyName(), "");
}

TEST(DropList, OutsideClickClosesHoverHighlightsAndAChoiceSticks) {
  DialogRig rig;
  CWindowsDialog dialog(rig.skin, rig.font);
  rig.open(dialog);
  EXPECT_EQ(rig.window.text(CWindowsDialog::kValueId), "Multimedia Player");
  dialog.onLeftButtonDown({145, 135});  // the click rectangle reaches past the value field
  ASSERT_TRUE(dialog.listOpen());
  EXPECT_EQ(rig.window.itemCount(CWindowsDialog::kListId), 11);
  dialog.onControlMouseMove(CWindowsDialog::kListId, {60, 146 + 2 * 16 + 3});
  EXPECT_EQ(rig.window.selection(CWindowsDialog::kListId), 2);
  EXPECT_EQ(dialog.choiceIndex(), 0);  // highlighted, not chosen
  dialog.onLeftButtonDown({300, 100});
  EXPECT_FALSE(dialog.listOpen());
  EXPECT_FALSE(rig.window.exists(CWindowsDialog::kListId));
  dialog.onLeftButtonDown({60, 135});
  rig.choose(dialog, CWindowsDialog::kListId, 10);
  EXPECT_EQ(dialog.choiceIndex(), 10);
  EXPECT_EQ(dialog.choiceText(), "Browser-My Favorites");
  EXPECT_EQ(rig.window.text(CWindowsDialog::kValueId), "Browser-My Favorites");
  EXPECT_FALSE(dialog.listOpen());
}

TEST(KeyDialogs, MediaAndWindowsResults) {
  DialogRig rig;
  CMediaDialog media(rig.skin, rig.font);
  rig.open(media);
  EXPECT_EQ(media.onKey(Key(kUsageReturn)), KeyDisposition::kSwallow);
  EXPECT_EQ(rig.window.modalCode, kModalOk);
  EXPECT_EQ(media.choiceIndex(), 0);
  EXPECT_EQ(media.choiceText(), "Next");

  DialogRig cht({.language = UiLanguage::kTraditionalChinese});
  CWindowsDialog windows(cht.skin, cht.font);
  cht.open(windows);
  windows.onLeftButtonDown({60, 135});
  cht.choose(windows, CWindowsDialog::kListId, 10);
  EXPECT_EQ(windows.choiceText(), "瀏覽器-我的最愛");
}

TEST(KeyDialogs, SingleKeyCapturesEnterEscapeAndWindowsKeysWithoutEnding) {
  struct Case {
    std::uint16_t usage;
    std::string name;
  };
  for (const Case& c : {Case{kUsageReturn, "Enter"}, Case{kUsageEscape, "Esc"},
                        Case{0xE3, "Left Windows"}, Case{0x3A, "F1"}}) {
    DialogRig rig;
    CSingleDialog dialog(rig.skin, rig.font);
    rig.open(dialog);
    const KeyDisposition down = dialog.onKey(Key(c.usage));
    EXPECT_EQ(down == KeyDisposition::kSwallow, c.usage != 0x3A) << c.name;
    EXPECT_FALSE(rig.window.modalCode.has_value()) << c.name;
    EXPECT_EQ(rig.window.text(CSingleDialog::kValueId), c.name);
    dialog.onLeftButtonDown(kOnOk);
    EXPECT_EQ(dialog.keyName(), c.name);
  }
}

TEST(KeyDialogs, SingleKeyNamesTheLastKeyPressedOrReleased) {
  DialogRig rig;
  CSingleDialog dialog(rig.skin, rig.font);
  rig.open(dialog);
  dialog.onKey(Key(0xE1));         // Left Shift down
  dialog.onKey(Key(0x04));         // A down
  dialog.onKey(Key(0x04, false));  // A up
  dialog.onKey(Key(0xE1, false));  // Left Shift up
  EXPECT_EQ(dialog.keyName(), CapturedKeyName(Key(0xE1)));
  EXPECT_FALSE(dialog.keyName().empty());
}

TEST(KeyDialogs, CombinationKeysGoToTheFocusedField) {
  DialogRig rig;
  CComboDialog dialog(rig.skin, rig.font);
  rig.open(dialog);
  dialog.onKey(Key(0x06));
  EXPECT_EQ(dialog.firstKeyName(), "");
  EXPECT_EQ(dialog.secondKeyName(), "");
  rig.window.setFocus(CComboDialog::kSecondKeyId);
  dialog.onKey(Key(0x06));
  EXPECT_EQ(dialog.firstKeyName(), "");
  EXPECT_EQ(dialog.secondKeyName(), "C");
  EXPECT_EQ(rig.window.text(CComboDialog::kSecondKeyId), "C");
  EXPECT_EQ(dialog.onKey(Key(kUsageEscape)), KeyDisposition::kSwallow);
  EXPECT_FALSE(rig.window.modalCode.has_value());

  // The modifier list covers the key fields while it is open; OK closes it and ends.
  dialog.onLeftButtonDown({125, 75});
  ASSERT_TRUE(dialog.listOpen());
  EXPECT_FALSE(rig.window.controlVisible(CComboDialog::kFirstKeyId));
  rig.choose(dialog, CComboDialog::kModifierListId, 6);
  EXPECT_EQ(dialog.modifierName(), "Right Alt");
  EXPECT_TRUE(rig.window.controlVisible(CComboDialog::kFirstKeyId));
  dialog.onLeftButtonDown({125, 75});
  dialog.onLeftButtonDown(kOnOk);
  EXPECT_FALSE(dialog.listOpen());
  EXPECT_EQ(rig.window.modalCode, kModalOk);
}

TEST(KeyDialogs, FireKeyDefaultsAndCorrections) {
  DialogRig rig;
  CFireKeyDialog dialog(rig.skin, rig.font);
  rig.open(dialog);
  EXPECT_EQ(rig.window.text(CFireKeyDialog::kKeyId), "A");
  rig.window.setText(CFireKeyDialog::kTimesId, "");
  rig.type(dialog, CFireKeyDialog::kTimesId, "30");
  EXPECT_EQ(dialog.times(), 30);
  rig.type(dialog, CFireKeyDialog::kTimesId, "0");  // 300
  EXPECT_EQ(rig.window.text(CFireKeyDialog::kTimesId), "1");
  EXPECT_EQ(dialog.times(), 1);
  rig.window.setText(CFireKeyDialog::kTimesId, "");
  dialog.onControlNotify(CFireKeyDialog::kTimesId, ControlNotification::kEditChange);
  EXPECT_EQ(dialog.times(), 0);

  rig.window.setText(CFireKeyDialog::kSpeedId, "3");
  EXPECT_EQ(dialog.speed(), 32);  // taken when the field is left
  dialog.onLeftButtonDown({60, 75});
  dialog.onWheel(-120, {60, 150});
  EXPECT_EQ(rig.window.topIndex(CFireKeyDialog::kKeyListId), 3);
  rig.choose(dialog, CFireKeyDialog::kKeyListId, 60);
  EXPECT_EQ(dialog.keyText(), "R-Tilt Wheel");
  dialog.onLeftButtonDown(kOnOk);
  EXPECT_EQ(dialog.speed(), 5);
  EXPECT_EQ(rig.window.text(CFireKeyDialog::kSpeedId), "5");
  EXPECT_EQ(FireKeyCode(dialog.keyIndex()), 0xF6);
}

TEST(KeyDialogs, DelayHandsBackWhatWasTyped) {
  for (const auto& [typed, value] :
       {std::pair{"5", 5}, std::pair{"25000", 25000}, std::pair{"", 0}}) {
    DialogRig rig;
    CDelayTimeDialog dialog(rig.skin, rig.font);
    rig.open(dialog);
    rig.type(dialog, CDelayTimeDialog::kDelayId, typed);
    EXPECT_EQ(dialog.value(), value);
    EXPECT_EQ(dialog.text(), typed);
  }
}

TEST(KeyDialogs, MacroListAndPlayMode) {
  DialogRig rig;
  const std::string ini =
      "[Alpha]\r\nItemCount=0\r\n[Beta]\r\nItemCount=0\r\n[Gamma]\r\nItemCount=0\r\n";
  ASSERT_TRUE(
      WriteFileAtomically(rig.temp.path() / "record.ini", Bytes(ini.begin(), ini.end())).ok());
  CMacroDialog dialog(rig.skin, rig.font, rig.temp.path() / "record.ini");
  rig.open(dialog);
  EXPECT_EQ(dialog.playMode(), 1);
  dialog.onLeftButtonDown({60, 75});
  ASSERT_EQ(rig.window.itemCount(CMacroDialog::kMacroListId), 3);
  rig.choose(dialog, CMacroDialog::kMacroListId, 2);
  EXPECT_EQ(dialog.macroPosition(), 2);
  EXPECT_EQ(dialog.macroName(), "Gamma");
  const Rect three = CMacroDialog::PlayPane(3);
  const Rect two = CMacroDialog::PlayPane(2);
  dialog.onLeftButtonDown({three.left + 1, three.top + 1});
  rig.log.clear();
  dialog.onLeftButtonDown({two.left + 1, two.top + 1});
  EXPECT_EQ(dialog.playMode(), 2);
  EXPECT_EQ(
      LinesStarting(rig.log, "img /PaneMakingTick"),
      Log{"img /PaneMakingTick.png @" + std::to_string(two.left) + "," + std::to_string(two.top)});

  DialogRig empty;
  CMacroDialog none(empty.skin, empty.font, empty.temp.path() / "record.ini");
  empty.open(none);
  none.onLeftButtonDown({60, 75});
  EXPECT_EQ(empty.window.itemCount(CMacroDialog::kMacroListId), 0);
}

TEST(KeyDialogs, TheComboDialogAssignsTheRowThroughTheMainWindow) {
  testing::MainWindowRig rig;
  rig.window.modalScript = [](WindowModel& popup, RecordingWindow& window) {
    popup.onLeftButtonDown({125, 75});
    window.setSelection(CComboDialog::kModifierListId, 0);
    popup.onControlNotify(CComboDialog::kModifierListId, ControlNotification::kSelectionChange);
    window.setFocus(CComboDialog::kFirstKeyId);
    popup.onKey(Key(0x06));
    popup.onKey(Key(0x06, false));
    popup.onLeftButtonDown(kOnOk);
  };
  rig.press({300, 205 + 23 * 2});
  rig.choose(43, 12);
  EXPECT_EQ(rig.label(0, 2), "Combo Key-Left Ctrl+C");
  EXPECT_EQ(EncodeKeyAction(rig.config(), 0, 2), (KeyAction{0x00, 0x01, 0x06, 0x00}));

  // A cancelled dialog leaves the button as it was.
  rig.window.modalScript = [](WindowModel& popup, RecordingWindow&) {
    popup.onLeftButtonDown(kOnCancel);
  };
  const std::string before = rig.label(0, 1);
  rig.press({300, 205 + 23 * 1});
  rig.choose(42, 11);
  EXPECT_EQ(rig.config().keyFunction(0, 1), 1);
  EXPECT_EQ(rig.label(0, 1), before);
  EXPECT_EQ(before, "Aim");
  EXPECT_FALSE(rig.window.exists(42));
}

}  // namespace
}  // namespace vm31
