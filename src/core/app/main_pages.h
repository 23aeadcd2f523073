#pragma once
// The face of the main window: both pages drawn from the settings record into the window's back
// buffer, the child controls each page owns, the page tabs, dragging by the background, and the
// hover feedback of buttons and key rows.
//
// Every change on screen goes the same way: the changed elements are drawn into the back buffer
// and then the whole buffer is presented, so the screen always shows the complete face and
// nothing flickers. Pictures come from the current skin folder at every draw.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/layout.h"
#include "core/app/main_window.h"
#include "core/keys/function_menu.h"
#include "core/macros/step_list.h"
#include "core/ui/system_mouse.h"

namespace vm31 {

// The elements that light up under the pointer.
enum class HoverElement {
  kOk,
  kApply,
  kCancel,
  kSkins,
  kMinimise,
  kClose,
  kBasicTab,
  kAdvancedTab,
  kKeyDefault,  // basic page
  kKeyRow1,     // basic page, rows 1..7
  kKeyRow2,
  kKeyRow3,
  kKeyRow4,
  kKeyRow5,
  kKeyRow6,
  kKeyRow7,
  kSystemDefault,  // advanced page
  kNewMacro,
  kDeleteMacro,
  kConfirmMacro,
};
inline constexpr std::size_t kHoverElementCount =
    static_cast<std::size_t>(HoverElement::kConfirmMacro) + 1;

// The colours and font of child control `id` (the window's control-colour rule): the macro
// name and loop-count edits and the macro lists in the label colour (lists over RGB 14, 15, 14),
// other lists white on black, the DPI swatches in their stage's colour, the value fields in the
// label colour on black, any other static field in the label colour on RGB 100, 150, 100.
ControlStyle MainControlStyle(int id, const MouseConfig& config, Rgb uiTextColor,
                              const FontSpec& font);

// The sensor type whose DPI table the window uses: 1..3 have their own eight-level tables, every
// other type the twelve-level table of type 0.
int DpiTableSensor(std::uint8_t sensorTypeCopy);

class MainWindowPages : public MainPages {
 public:
  explicit MainWindowPages(CTarnwickDlg& dlg) : dlg_(dlg) {}

  // Shows the basic page (see MainPages). The first time in a run it refreshes the sensor type
  // from the mouse and, when config.bin's first-run flag is 0, gives both key groups the
  // factory captions and stores them in str.ini.
  void showBasicPage() override;
  // Shows the advanced page: system mouse settings from the record, the macros of record.ini.
  // Showing the page already shown does nothing.
  void showAdvancedPage();
  // Destroys `page`'s child controls and draws it again in full (kNone: the basic page).
  void rebuildPage(MainPage page) override;

  // Presses, in this order: OK, Apply, Skins (each lets the press go on), minimise, close, the
  // tabs, Cancel (goes on), the shown page's controls; a press nothing claims drags the window.
  // A press on the pixel column two bottom buttons share runs the left one only.
  void onLeftButtonDown(Point at) override;
  // The shown page's lists and fields: on the basic page a chosen function, DPI-switch
  // operation or lighting entry; on the advanced page the macro and step lists, the mouse-event
  // list and the name and loop-count fields.
  void onControlNotify(int controlId, ControlNotification notification) override;
  // Pointer over an open function list: the entry under it is highlighted (not chosen), and
  // over "DPI Switch" the DPI-switch cascade opens beside it. Over the step list of the
  // advanced page the line under it is selected.
  void onControlMouseMove(int controlId, Point at) override;

  // Asks for the parameters of a key function that needs them (Windows .. Macro Key); nullopt
  // when the dialog was cancelled. Unset: the function's own dialog runs over the window.
  std::function<std::optional<FunctionParameters>(int function)> functionDialog;
  // Runs the skin chooser; true when a new skin was confirmed (the page is then redrawn).
  // Unset: RunSkinChooser (skin_choice.h) runs the skins dialog over the window.
  std::function<bool()> skinChooser;
  // The desktop's pointer settings: read at the first display of the advanced page in a run,
  // written by OK, Apply and the page's "Default" button. Unset: no desktop backend applies
  // (as NoDesktopSystemMouse), the values stay in the record only.
  SystemMouse* systemMouse = nullptr;

  // Advanced page (advanced_controls.cpp): the step list's context menu and its "Delete"
  // command, and the recorder's key events.
  void onControlRightButtonDown(int controlId, Point at) override;
  void onCommand(int command) override;
  void onRecordingKey(const KeyEvent& key) override;

  // Whether the desktop's values were read into the record during this run.
  bool systemSettingsRead() const { return systemSettingsRead_; }
  bool mouseEventListOpen() const { return mouseEventListOpen_; }
  // The recorder: the flag set by the first successful start (never cleared), the progress
  // counter (0 after a start, 1 once an event was appended, 2 after a stop) and the name of the
  // last key press appended.
  bool recordingFlag() const { return recordingFlag_; }
  int recordingStarted() const { return recordingStarted_; }
  const std::string& lastRecordedKey() const { return lastRecordedKey_; }

  // Whether the function list of button `button` (0..11) is marked open.
  bool keyListOpen(int button) const { return keyListOpen_[static_cast<std::size_t>(button)]; }
  // Whether the lighting list of field `field` (0 mode, 1 parameter, 2 effect) is marked open.
  bool lightListOpen(int field) const { return lightListOpen_[static_cast<std::size_t>(field)]; }
  // Moves: over a hoverable element nothing happens until the hover arrives; elsewhere every
  // lit element is restored.
  void onMouseMove(Point at) override;
  // The pointer rested: the elements under it light up, lit siblings of their group go out.
  void onHover(Point at) override;

  // DPI level cells per stage column: 8 for sensor types 1..3, else 12 (0 before the basic
  // page was first drawn).
  int dpiLevelCount() const { return dpiLevelCount_; }
  bool hoverMark(HoverElement element) const {
    return hoverMarks_[static_cast<std::size_t>(element)];
  }

 private:
  void drawImage(std::string_view fileName, const Rect& at);
  void drawText(std::string_view text, const Rect& box, TextFormat format, bool title = false);
  void present();

  void drawCommonFrame(std::string_view pageImage);
  void drawBottomCaptions();
  void drawKeyRowTexts(int row);
  void drawKeyRow(int row, bool over);
  void drawModeButtons();
  void drawReportRate();
  void drawDpiStage(int stage);
  void drawDpiLevelLabels();
  void createBasicControls();
  void createAdvancedControls();
  void showMacros();
  void destroyBasicControls();
  void destroyAdvancedControls();
  bool basicControlsExist() const;
  bool advancedControlsExist() const;
  void firstBasicShow();

  // Basic-page controls (main_controls.cpp).
  void runApply(bool hideAfter);
  void cancelEdits();
  bool basicPagePress(Point at);
  void closeStaleLists(Point at);
  void closeKeyList(int button);
  void closeLightList(int field);
  void switchKeyGroup(int group);
  void defaultKeys();
  void keyRowPress(int row);
  void reportRatePress(int segment);
  void tickPress(int stage);
  void colourPress(int stage);
  void levelPress(int stage, int level);
  void lightFieldPress(int field);
  void functionListChosen();
  void dpiSwitchChosen();
  void lightListChosen(int field);
  ButtonLabels& labels();

  // Advanced-page controls (advanced_controls.cpp).
  SystemMouse& desktopMouse();
  void showSystemMouseReport(const SystemMouseReport& report, bool noticeNoDesktop);
  void readSystemSettings();
  void drawUnavailableNotes();
  void writeSystemSettings();
  bool advancedPagePress(Point at);
  void advancedControlNotify(int controlId, ControlNotification notification);
  void advancedControlMouseMove(int controlId, Point at);
  void closeMouseEventList();
  void mouseEventFieldPress();
  void tickToggle(std::size_t offset, const Rect& box);
  void drawSlider(int slider, int litCells);
  void sliderPress(int slider, int cell);
  void systemDefaults();
  void loadMacro();
  void newMacro();
  void deleteMacro();
  void saveMacro();
  void insertMouseEvent();
  void editDelay();
  void deleteStepLine();
  void loopCountChanged();
  void startRecording();
  void stopRecording();
  void releaseRecordingHold();
  void dropTrailingCtrlPress();
  void recordEvent(bool release, const std::string& keyName);
  int selectedMacro() const;
  std::vector<std::string> macroNames() const;
  std::vector<std::string> stepLines() const;
  void showStepEdit(const std::vector<std::string>& before, const StepListEdit& edit);
  void tell(std::string_view text, std::string_view caption = {});

  bool hoverActive(HoverElement element) const;
  void drawHoverElement(HoverElement element, bool over);

  const std::string& buttonLabel(int button) const;
  int editedGroup() const;

  CTarnwickDlg& dlg_;
  int dpiLevelCount_ = 0;
  std::array<bool, kHoverElementCount> hoverMarks_{};
  std::array<bool, kButtonCount> keyListOpen_{};
  std::array<bool, 3> lightListOpen_{};

  NoDesktopSystemMouse noDesktop_;
  bool systemSettingsRead_ = false;
  std::array<bool, kSystemSettingCount> unavailableSettings_{};  // as the first read found them
  bool noDesktopNoticeShown_ = false;
  bool mouseEventListOpen_ = false;
  bool recordingFlag_ = false;
  int recordingStarted_ = 0;
  std::string lastRecordedKey_;
};

}  // namespace vm31
