#pragma once
// The macro recorder of the advanced page: while a recording holds the keyboard, every key the
// window receives becomes a press or release line (with a "50 ms" delay between events) at the
// end of the selected macro's step list, until "Stop", Ctrl+Break or a full macro block ends it.
// A held key gives one press: the recorder keeps which keys are down, so the keyboard's repeats
// (a press of a key already down, or a release and press of one key at one event time) add no
// lines, whether or not the platform marks them as repeats.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "core/app/macro_editor.h"

namespace vm31 {

class MacroRecorder {
 public:
  MacroRecorder(const PageContext& context, const MacroEditor& editor)
      : context_(context), editor_(editor) {}

  // Whether a recording holds the keyboard now.
  bool holdsKeyboard() const { return holdsKeyboard_; }
  // The flag set by the first successful start (never cleared), the progress counter (0 after a
  // start, 1 once an event was appended, 2 after a stop) and the name of the last key press
  // appended.
  bool recordingFlag() const { return recordingFlag_; }
  int recordingStarted() const { return recordingStarted_; }
  const std::string& lastRecordedKey() const { return lastRecordedKey_; }

  // "Start": needs a selected macro, whose step list then starts afresh.
  void start();
  // "Stop" (and Ctrl+Break).
  void stop();
  // Ends the hold on the keyboard (leaving the page); the counters stay.
  void release();
  // A key event while the recording holds the keyboard.
  void onKey(const KeyEvent& key);

 private:
  // The last recorded release, while no other event followed it.
  struct RecordedRelease {
    std::uint16_t usage = 0;
    std::uint64_t time = 0;
    std::string line;
  };

  void dropTrailingCtrlPress();
  // Deletes the step list's last line when it is `line`, with the delay before it.
  bool dropTrailingLine(const std::string& line);
  // Whether the event was appended.
  bool recordEvent(bool isRelease, const std::string& keyName);

  const PageContext& context_;
  const MacroEditor& editor_;
  bool holdsKeyboard_ = false;
  bool recordingFlag_ = false;
  int recordingStarted_ = 0;
  std::string lastRecordedKey_;
  std::set<std::uint16_t> keysDown_;
  std::optional<RecordedRelease> lastRelease_;
};

}  // namespace vm31
