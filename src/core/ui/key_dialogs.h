#pragma once
// The popup dialogs of key assignment: a single key, a key combination, a media or Windows
// function, a fire key, a macro and its play mode, and the delay of a macro step. Each is a
// PopupFrame; the caller reads the result members after a run that ended with kModalOk.
//
// The key-capturing dialogs see every key event of their window before any control does (the
// host's key pre-translation) and take the key's name from the key tables.

#include <filesystem>
#include <string>

#include "core/ui/popup_frame.h"

namespace vm31 {

// The name of the key of `key` as the key tables spell it ("Esc", "Num 1", "Right Ctrl"); ""
// for a key the tables do not name. At most 31 characters.
std::string CapturedKeyName(const KeyEvent& key);

class CSingleDialog : public PopupFrame {
 public:
  static constexpr int kValueId = 502;
  CSingleDialog(SkinState skin, FontSpec font);

  // Every key down and up names the key (the last one wins). Enter and Escape downs and every
  // event of the Windows keys are swallowed, so they can be chosen and do not end the dialog.
  KeyDisposition onKey(const KeyEvent& key) override;

  const std::string& keyName() const { return keyName_; }

 private:
  void createControls() override;
  void drawOwnTexts() override;
  std::string keyName_;
};

class CComboDialog : public PopupFrame {
 public:
  static constexpr int kModifierId = 512;
  static constexpr int kModifierListId = 515;
  static constexpr int kFirstKeyId = 516;
  static constexpr int kSecondKeyId = 517;
  CComboDialog(SkinState skin, FontSpec font);

  // The key goes to the key field that has the focus (none: nothing changes). Enter and Escape
  // downs are swallowed.
  KeyDisposition onKey(const KeyEvent& key) override;
  void onControlNotify(int controlId, ControlNotification notification) override;
  void onControlMouseMove(int controlId, Point at) override;

  const std::string& modifierName() const { return modifiers_.text(); }
  const std::string& firstKeyName() const { return first_; }
  const std::string& secondKeyName() const { return second_; }
  bool listOpen() const { return modifiers_.isOpen(); }

 private:
  void createControls() override;
  void onDialogPress(Point at) override;
  DropList modifiers_;
  std::string first_;
  std::string second_;
};

// The media and Windows dialogs: one list of functions each.
class CChoiceDialog : public PopupFrame {
 public:
  KeyDisposition onKey(const KeyEvent& key) override { return standardKeys(key); }
  void onControlNotify(int controlId, ControlNotification notification) override;
  void onControlMouseMove(int controlId, Point at) override;

  int choiceIndex() const { return list_.index(); }
  const std::string& choiceText() const { return list_.text(); }
  bool listOpen() const { return list_.isOpen(); }

 protected:
  CChoiceDialog(SkinPicture background, std::string_view failureCaption, SkinState skin,
                FontSpec font, DropList list);

 private:
  void createControls() override;
  void onDialogPress(Point at) override;
  DropList list_;
};

class CMediaDialog : public CChoiceDialog {
 public:
  static constexpr int kValueId = 552;
  static constexpr int kListId = 553;
  CMediaDialog(SkinState skin, FontSpec font);
};

class CWindowsDialog : public CChoiceDialog {
 public:
  static constexpr int kValueId = 532;
  static constexpr int kListId = 533;
  CWindowsDialog(SkinState skin, FontSpec font);
};

class CFireKeyDialog : public PopupFrame {
 public:
  static constexpr int kKeyId = 572;
  static constexpr int kKeyListId = 573;
  static constexpr int kSpeedId = 574;
  static constexpr int kTimesId = 575;
  CFireKeyDialog(SkinState skin, FontSpec font);

  KeyDisposition onKey(const KeyEvent& key) override { return standardKeys(key); }
  // Speed is taken when its field loses the focus (and at OK): below 5 or above 255 it becomes
  // 5. Times is taken at every change: above 255 it becomes 1; an empty field means 0.
  void onControlNotify(int controlId, ControlNotification notification) override;
  void onControlMouseMove(int controlId, Point at) override;
  void onWheel(int delta, Point at) override;

  int keyIndex() const { return keys_.index(); }
  const std::string& keyText() const { return keys_.text(); }
  std::uint8_t speed() const { return speed_; }
  std::uint8_t times() const { return times_; }

 private:
  void createControls() override;
  void drawOwnTexts() override;
  void onDialogPress(Point at) override;
  void beforeOk() override { takeSpeed(); }
  void takeSpeed();
  void takeTimes();
  DropList keys_;
  std::uint8_t speed_ = 32;
  std::uint8_t times_ = 1;
};

class CDelayTimeDialog : public PopupFrame {
 public:
  static constexpr int kDelayId = 600;
  CDelayTimeDialog(SkinState skin, FontSpec font);

  KeyDisposition onKey(const KeyEvent& key) override { return standardKeys(key); }
  void onControlNotify(int controlId, ControlNotification notification) override;

  // What was typed, unclamped: the caller decides what a value means.
  int value() const { return value_; }
  const std::string& text() const { return text_; }

 private:
  void createControls() override;
  void drawOwnTexts() override;
  int value_ = 0;
  std::string text_;
};

// How the mouse plays a macro: 1 a number of times or until a key, 2 until a key, 3 while the
// button is held. The key word stores the mode minus one.
enum class MacroPlayMode { kRepeatCountOrAnyKey = 1, kUntilAnyKey = 2, kUntilReleased = 3 };

class CMacroDialog : public PopupFrame {
 public:
  static constexpr int kMacroId = 592;
  static constexpr int kMacroListId = 593;
  // The play-option panes, option 1 first, where the skins' macro-key picture has their boxes.
  static constexpr Rect PlayPane(int option) {
    return Rect{24, 104 + 44 * (option - 1), 40, 120 + 44 * (option - 1)};
  }
  CMacroDialog(SkinState skin, FontSpec font, std::filesystem::path macroFile);

  KeyDisposition onKey(const KeyEvent& key) override { return standardKeys(key); }
  void onControlNotify(int controlId, ControlNotification notification) override;
  void onControlMouseMove(int controlId, Point at) override;
  void onWheel(int delta, Point at) override;

  // The chosen macro's position among record.ini's macros and its name ("" when none chosen).
  int macroPosition() const { return macros_.index(); }
  const std::string& macroName() const { return macros_.text(); }
  int playMode() const { return playMode_; }

 private:
  void createControls() override;
  void drawOwnTexts() override;
  void onDialogPress(Point at) override;
  void drawPanes();
  std::filesystem::path macroFile_;
  DropList macros_;
  int playMode_ = 1;
};

}  // namespace vm31
