#include "core/app/main_window.h"

#include <utility>

#include "core/app/tray.h"
#include "core/keys/function_menu.h"
#include "core/macros/macro_store.h"
#include "core/settings/config_file.h"
#include "core/settings/ini_file.h"
#include "core/ui/popup_frame.h"
#include "core/ui/skin_pictures.h"

namespace vm31 {

CTarnwickDlg::CTarnwickDlg(DeviceLink& link, Notifier& notifier, HotplugWatch& hotplug,
                           MainWindowPaths paths, SystemVersion systemVersion,
                           UiLanguage localeLanguage)
    : link_(link),
      notifier_(notifier),
      hotplug_(hotplug),
      paths_(std::move(paths)),
      systemVersion_(systemVersion),
      localeLanguage_(localeLanguage) {}

void CTarnwickDlg::setPages(MainPages* pages) {
  pages_ = pages;
  if (pages_ != nullptr && ports_.canvas != nullptr && ports_.controls != nullptr &&
      ports_.host != nullptr) {
    pages_->attach(AttachedPorts{*ports_.canvas, *ports_.controls, *ports_.host});
  }
}

void CTarnwickDlg::attach(const WindowPorts& ports) {
  ports_ = ports;
  setPages(pages_);
}

bool CTarnwickDlg::onInitialise() {
  notifier_.addTrayIcon(kMainTitle);

  // Open and handshake. The presence notice this raises is held until the texts are known.
  link_.startUp();
  link_.reader().start();

  if (Status watching = hotplug_.start(); !watching) {
    ports_.host->messageBox(kHotplugWatchFailedMessage, {}, MessageBoxIcon::kNone);
    // The window opens without settings, texts, skin or fonts; held notices still reach the
    // user, in the default language.
    textsFilled_ = true;
    for (const DeviceEvent& event : std::exchange(heldNotices_, {})) showNotice(event);
    if (!notifier_.trayAvailable()) showWindow();
    return false;
  }

  if (LoadConfig(paths_.data.config, mouseConfig_, firstRunFlag_).outcome ==
      ConfigLoadOutcome::kMissing) {
    ports_.host->messageBox(kConfigMissingMessage, {}, MessageBoxIcon::kNone);
  }
  appliedConfig_ = mouseConfig_;

  // An unreadable preferences file reads as an empty one: the locale's language, default skin
  // name.
  Result<IniDocument> prefs = IniDocument::Load(paths_.data.prefs);
  preferences_ = LoadPreferences(prefs ? prefs.value() : IniDocument{}, localeLanguage_);
  skin_.uiLanguage = preferences_.language;
  // A language the file has no captions for yet (or a caption left empty): each row names its
  // button's function as choosing it would have, and the file keeps what the rows show.
  if (firstRunFlag_ != 0) {
    Result<IniDocument> macros = IniDocument::Load(paths_.data.macros);
    const std::vector<std::string> macroNames =
        macros ? MacroNames(macros.value()).names : std::vector<std::string>{};
    if (FillMissingLabels(mouseConfig_, preferences_.labels, macroNames, preferences_.language) &&
        prefs) {
      SaveLabels(prefs.value(), preferences_.language, preferences_.labels);
      (void)prefs.value().Save(paths_.data.prefs);
    }
  }
  for (std::size_t i = 0; i < kUiTextCount; ++i) {
    texts_[i] = std::string(UiTextFor(static_cast<UiText>(i), skin_.uiLanguage));
  }
  textsFilled_ = true;
  notifier_.setTrayMenu(TrayMenu(skin_.uiLanguage));
  for (const DeviceEvent& event : std::exchange(heldNotices_, {})) showNotice(event);

  // A skin str.ini does not name, or names but no root holds, gives way to the default one.
  SkinEntry startSkin = ResolveStartSkin(paths_.skinRoots, preferences_.skinName);
  skin_.currentSkinFolder = std::move(startSkin.folder);
  backgroundSize_ =
      ports_.host->setBackgroundImage(SkinPicturePath(skin_.currentSkinFolder, SkinPicture::kMain));
  skin_.currentSkinName = std::move(startSkin.name);
  const auto colour = UiTextColorFrom(preferences_);
  skin_.uiTextColor = Rgb{colour[0], colour[1], colour[2]};
  ports_.canvas->dropImageCache();

  normalFont_ = CreateUiFont(skin_.uiLanguage, FontRole::kNormal, systemVersion_);
  titleFont_ = CreateUiFont(skin_.uiLanguage, FontRole::kTitle, systemVersion_);

  if (link_.devicePresent() && pages_ != nullptr) pages_->showBasicPage();
  initialised_ = true;

  // Without a tray nothing could bring the window up later: show it now.
  if (!notifier_.trayAvailable()) showWindow();
  return true;
}

void CTarnwickDlg::setSkin(std::string folder, std::string name, Rgb colour) {
  skin_.currentSkinFolder = std::move(folder);
  skin_.currentSkinName = std::move(name);
  skin_.uiTextColor = colour;
  // The preference texts mirror what str.ini now holds.
  preferences_.skinName = skin_.currentSkinName;
  preferences_.redText = std::to_string(colour.red);
  preferences_.greenText = std::to_string(colour.green);
  preferences_.blueText = std::to_string(colour.blue);
  if (ports_.canvas != nullptr) ports_.canvas->dropImageCache();
}

void CTarnwickDlg::onClose() {
  ports_.host->hide();
}

KeyDisposition CTarnwickDlg::onKey(const KeyEvent& key) {
  // The recorder may end the recording (Ctrl+Break); the key that ended it is still swallowed.
  const bool recording = pages_ != nullptr && pages_->holdsKeyboard();
  if (recording) pages_->onRecordingKey(key);
  if (!key.down) return KeyDisposition::kPass;
  if (recording) return KeyDisposition::kSwallow;
  // The keypad's Enter is a Return too, as the system's own dialogs have always taken it.
  if (key.usage == kUsageReturn || key.usage == kUsageKeypadEnter || key.usage == kUsageEscape) {
    ports_.host->hide();
    return KeyDisposition::kSwallow;
  }
  return KeyDisposition::kPass;
}

void CTarnwickDlg::onCommand(int command) {
  if (command == kCommandExit) {
    exitProgram();
    return;
  }
  if (pages_ != nullptr) pages_->onCommand(command);
}

void CTarnwickDlg::onLeftButtonDown(Point at) {
  if (pages_ != nullptr) pages_->onLeftButtonDown(at);
}

void CTarnwickDlg::onMouseMove(Point at) {
  if (pages_ != nullptr) pages_->onMouseMove(at);
}

void CTarnwickDlg::onHover(Point at) {
  if (pages_ != nullptr) pages_->onHover(at);
}

void CTarnwickDlg::onControlNotify(int controlId, ControlNotification notification) {
  if (pages_ != nullptr) pages_->onControlNotify(controlId, notification);
}

void CTarnwickDlg::onControlMouseMove(int controlId, Point at) {
  if (pages_ != nullptr) pages_->onControlMouseMove(controlId, at);
}

void CTarnwickDlg::onControlRightButtonDown(int controlId, Point at) {
  if (pages_ != nullptr) pages_->onControlRightButtonDown(controlId, at);
}

void CTarnwickDlg::onTray(TrayClick click) {
  switch (click) {
    case TrayClick::kLeftUp:
    case TrayClick::kLeftDoubleClick:
      if (!link_.devicePresent()) {
        showNotice(PresenceNotice::kNotDetected);
        return;
      }
      showFromTray();
      return;
    case TrayClick::kRightUp:
      notifier_.showTrayMenu(TrayMenu(skin_.uiLanguage));
      return;
  }
}

void CTarnwickDlg::onDeviceEvent(const DeviceEvent& event) {
  if (!textsFilled_) {
    heldNotices_.push_back(event);
    return;
  }
  showNotice(event);
}

void CTarnwickDlg::onHotplug(const HotplugEvent& event) {
  if (!link_.handleHotplug(event) || link_.devicePresent()) return;
  ports_.host->hide();
  // A popup open over the window would float on alone; it ends as Cancel, and with that nothing
  // it would do at OK (showing the window again) happens.
  ports_.host->endRunningModal(kModalCancel);
}

void CTarnwickDlg::onSecondInstance() {
  if (!notifier_.trayAvailable()) showWindow();
}

void CTarnwickDlg::onShowRequest() {
  showWindow();
}

void CTarnwickDlg::exitProgram() {
  link_.close();
  notifier_.removeTrayIcon();
  ports_.host->endProcess(0);
}

const std::string& CTarnwickDlg::text(UiText id) const {
  static const std::string kNone;
  const auto index = static_cast<std::size_t>(id);
  return index < texts_.size() ? texts_[index] : kNone;
}

void CTarnwickDlg::showNotice(const DeviceEvent& event) {
  const std::optional<Error>& problem = link_.openProblem();
  const std::optional<TrayNotice> notice = DeviceEventNotice(
      event, skin_.uiLanguage, mouseConfig_, link_.state().sensorTypeCopy,
      problem ? std::string_view(problem->message) : std::string_view(), link_.accessRefusal());
  if (!notice) return;
  notifier_.showBalloon(notice->text, notice->title, notice->timeoutMs, NoticeIcon::kInfo);
}

void CTarnwickDlg::showFromTray() {
  if (pages_ != nullptr) {
    if (rebuildRequested_) {
      rebuildRequested_ = false;
      // The captions are not part of the record: the cancelled edits return to their saved
      // wording.
      if (Result<IniDocument> prefs = IniDocument::Load(paths_.data.prefs); prefs) {
        ReloadLabels(prefs.value(), preferences_);
      }
      pages_->rebuildPage(pages_->currentPage());
    } else if (!pages_->basicPageInitialised()) {
      pages_->showBasicPage();
    }
  }
  ports_.host->show();
  ports_.host->bringToFront();
}

void CTarnwickDlg::showWindow() {
  if (link_.devicePresent()) {
    showFromTray();
    return;
  }
  ports_.host->show();
  ports_.host->bringToFront();
}

}  // namespace vm31
