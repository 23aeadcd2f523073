#include "core/app/macro_recorder.h"

#include <utility>
#include <vector>

#include "core/macros/macro_compiler.h"
#include "core/macros/step_list.h"
#include "core/ui/key_dialogs.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;

// Ctrl+Break, which the caption names as the way to stop a recording: the Pause key with a Ctrl
// key held (HID usage 0x48; modifier bits of left and right Ctrl).
constexpr std::uint16_t kUsagePause = 0x48;
constexpr std::uint8_t kCtrlModifiers = 0x01 | 0x10;
constexpr std::uint16_t kUsageLeftCtrl = 0xE0;
constexpr std::uint16_t kUsageRightCtrl = 0xE4;

}  // namespace

void MacroRecorder::start() {
  // Without a selected macro every recorded event would be dropped.
  if (editor_.selectedMacro() < 0) {
    context_.tell(context_.text(UiText::kMacroNameBlank), kPageWarningCaption);
    return;
  }
  context_.tell(context_.text(UiText::kStartRecording));
  // A recording under way starts afresh.
  context_.controls().clearItems(id::kMacroStepList);
  holdsKeyboard_ = true;
  keysDown_.clear();
  lastRelease_.reset();
  recordingFlag_ = true;
  recordingStarted_ = 0;
  const std::string& hint = context_.text(UiText::kStopRecordingHint);
  context_.host().setCaption(hint);
  // A frameless window shows no title: the hint is on the face too while the recording lasts.
  Controls& controls = context_.controls();
  controls.create(id::kRecordingHint, ControlKind::kStatic, layout::kRecordingHintLine,
                  context_.styleOf(id::kRecordingHint));
  controls.setText(id::kRecordingHint, hint);
}

void MacroRecorder::stop() {
  context_.tell(context_.text(UiText::kStopRecording));
  if (!recordingFlag_) {
    context_.tell(context_.text(UiText::kStopWithoutRecording), kPageWarningCaption);
    return;
  }
  if (holdsKeyboard_) {
    release();
    recordingStarted_ = 2;
  }
}

void MacroRecorder::release() {
  if (!holdsKeyboard_) return;
  holdsKeyboard_ = false;
  // An empty caption gives the window back its own title ("Gaming Mouse Setting").
  context_.host().setCaption("");
  context_.controls().destroy(id::kRecordingHint);
}

void MacroRecorder::onKey(const KeyEvent& key) {
  if (!holdsKeyboard_) return;
  if (key.down && key.usage == kUsagePause && (key.modifiers & kCtrlModifiers) != 0) {
    dropTrailingCtrlPress();
    stop();
    return;
  }
  const std::string name = CapturedKeyName(key);
  // A key the key tables do not name would play as code 0, which the mouse cannot send.
  if (name.empty()) return;
  std::optional<RecordedRelease> before = std::exchange(lastRelease_, std::nullopt);
  if (!key.down) {
    keysDown_.erase(key.usage);
    if (recordEvent(true, name)) {
      lastRelease_ = RecordedRelease{key.usage, key.time, name + std::string(kReleaseSuffix)};
    }
    return;
  }
  // The release before was the keyboard's repeat of a key still held: it goes again. (Events
  // without a time, such as synthetic ones, are never taken for repeats.)
  if (before && before->usage == key.usage && key.time != 0 && before->time == key.time) {
    dropTrailingLine(before->line);
    keysDown_.insert(key.usage);
    return;
  }
  if (!keysDown_.insert(key.usage).second) return;
  recordEvent(false, name);
}

// The Ctrl held for Ctrl+Break was recorded as a press; a macro ending in it would leave Ctrl
// held on the mouse, so it goes together with the delay before it.
void MacroRecorder::dropTrailingCtrlPress() {
  if (recordingStarted_ != 1) return;
  const std::string suffix(kPressSuffix);
  if (!dropTrailingLine(CapturedKeyName(KeyEvent{.usage = kUsageLeftCtrl}) + suffix)) {
    dropTrailingLine(CapturedKeyName(KeyEvent{.usage = kUsageRightCtrl}) + suffix);
  }
}

bool MacroRecorder::dropTrailingLine(const std::string& line) {
  Controls& controls = context_.controls();
  int count = controls.itemCount(id::kMacroStepList);
  if (count == 0 || controls.itemText(id::kMacroStepList, count - 1) != line) return false;
  controls.deleteItem(id::kMacroStepList, --count);
  if (count > 0 && IsDelayLine(controls.itemText(id::kMacroStepList, count - 1))) {
    controls.deleteItem(id::kMacroStepList, --count);
  }
  // With the list empty again the next event is the first, with no delay before it.
  if (count == 0) recordingStarted_ = 0;
  controls.setSelection(id::kMacroStepList, count - 1);
  return true;
}

bool MacroRecorder::recordEvent(bool isRelease, const std::string& keyName) {
  if (editor_.selectedMacro() < 0) return false;
  Controls& controls = context_.controls();
  const std::string line = keyName + std::string(isRelease ? kReleaseSuffix : kPressSuffix);
  std::vector<std::string> added;
  // The first event of a recording has no delay before it; every later one (and a release that
  // comes first, from a key held while the recording started) follows "50 ms".
  if (isRelease || recordingStarted_ != 0) added.emplace_back(kInsertedDelayLine);
  added.push_back(line);
  std::vector<std::string> lines = editor_.stepLines();
  lines.insert(lines.end(), added.begin(), added.end());
  if (!FitsOneMacroBlock(lines)) {
    release();
    recordingStarted_ = 2;
    context_.tell(MacroFullMessage("Recording stopped; the events recorded so far are kept."),
                  kPageWarningCaption);
    return false;
  }
  for (const std::string& text : added) controls.addItem(id::kMacroStepList, text);
  recordingStarted_ = 1;
  if (!isRelease) lastRecordedKey_ = keyName;
  controls.setSelection(id::kMacroStepList, controls.itemCount(id::kMacroStepList) - 1);
  return true;
}

}  // namespace vm31
