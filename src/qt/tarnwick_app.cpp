#include "qt/tarnwick_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/app/event_router.h"
#include "core/app/main_pages.h"
#include "core/app/main_window.h"
#include "core/app/tray.h"
#include "core/device/combined_bus.h"
#include "core/device/device_definition.h"
#include "core/device/loop_event_sink.h"
#include "core/settings/data_location.h"
#include "core/ui/skin.h"
#include "core/util/atomic_file.h"
#include "platform/linux/executable_folder.h"
#include "platform/linux/file_system_edge.h"
#include "platform/linux/freed_memory.h"
#include "platform/linux/instance_lock.h"
#include "platform/linux/key_names.h"
#include "platform/linux/linux_device_backend.h"
#include "platform/linux/steady_clock.h"
#include "platform/linux/system_mouse_chooser.h"
#include "qt/qt_text.h"
#include "qt/single_instance.h"
#include "qt/skinned_window.h"
#include "qt/tray_notifier.h"

namespace vm31::qt {
namespace {

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// A failure before the window exists: said on stderr and in a message box.
int FailAtStart(const QString& programName, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", programName.toLocal8Bit().constData(), message.c_str());
  QMessageBox::warning(nullptr, programName, QString::fromStdString(message));
  return 1;
}

// How long a `--show` waits for a running instance that is still starting to take requests.
constexpr int kShowRequestWaitMs = 10000;

constexpr const char* kProgramDescription =
    "Gaming Mouse Setting: the configuration utility of the KOR VM31 gaming mouse.\n"
    "Without an option it starts hidden in the tray; its icon opens the window.";

struct CommandLine {
  bool show = false;            // --show
  std::optional<int> exitCode;  // set when the process ends here (--help, --version, errors)
};

// --help, --version and --show, nothing else. Answered before any display is opened, so --help
// and --version work on a bare console.
// Qt's own options ("-platform offscreen", "-session ID" from a session manager's restore, ...)
// are left to the application object, which takes them out of the arguments later.
bool IsQtOption(const QString& argument, bool& takesValue) {
  static const QStringList withValue = {
      "platform",     "platformpluginpath", "platformtheme", "plugin",   "qwindowgeometry",
      "qwindowtitle", "qwindowicon",        "display",       "geometry", "session",
      "style",        "stylesheet"};
  static const QStringList flags = {"reverse", "widgetcount",   "nograb",     "dograb",
                                    "sync",    "qmljsdebugger", "testability"};
  if (!argument.startsWith(QLatin1Char('-'))) return false;
  QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
  const bool inlineValue = name.contains(QLatin1Char('='));
  name = name.section(QLatin1Char('='), 0, 0);
  takesValue = withValue.contains(name) && !inlineValue;
  return withValue.contains(name) || flags.contains(name);
}

CommandLine ParseCommandLine(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    const QString argument = QString::fromLocal8Bit(argv[i]);
    bool takesValue = false;
    if (i > 0 && IsQtOption(argument, takesValue)) {
      if (takesValue) ++i;
      continue;
    }
    arguments << argument;
  }
  QCoreApplication::setApplicationName(QStringLiteral("KOR_VM31"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VM31_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(kProgramDescription));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Print this help and exit."));
  const QCommandLineOption version(QStringLiteral("version"),
                                   QStringLiteral("Print the program's version and exit."));
  const QCommandLineOption show(
      QStringLiteral("show"),
      QStringLiteral("Show the window once started. When the program already runs, show that "
                     "instance's window."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(show);

  CommandLine result;
  const auto fail = [&result](const QString& problem) {
    std::fprintf(stderr, "KOR_VM31: %s\nTry 'KOR_VM31 --help'.\n",
                 problem.toLocal8Bit().constData());
    result.exitCode = 2;
    return result;
  };
  if (!parser.parse(arguments)) return fail(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return fail(
        QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
  }
  if (parser.isSet(help)) {
    // The parser names the executable only once an application object exists.
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("KOR_VM31"));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    result.exitCode = 0;
  } else if (parser.isSet(version)) {
    std::printf("KOR_VM31 %s\n", VM31_VERSION);
    result.exitCode = 0;
  }
  result.show = parser.isSet(show);
  return result;
}

// The language of the user's locale, for a str.ini without a "Lan" value.
UiLanguage LocaleLanguage() {
  return UiLanguageFromLocale(LocaleEnvironment{Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")});
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128}) {
    icon.addFile(QStringLiteral(":/icons/%1x%1/kor-vm31.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace

// Arrivals and removals of the mouse's interfaces, read when the backend's descriptor is ready.
// Without a backend (it could not start) nothing arrives and nothing is watched.
class CTarnwickApp::QtHotplugWatch : public HotplugWatch {
 public:
  QtHotplugWatch(linux_platform::LinuxDeviceBackend* backend, EventRouter& router)
      : backend_(backend), router_(router) {}

  Status start() override {
    if (notifier_ || backend_ == nullptr) return Ok{};
    notifier_ = std::make_unique<QSocketNotifier>(backend_->hotplugFd(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      for (const HotplugEvent& event : backend_->hotplugEvents()) router_.hotplug(event);
    });
    return Ok{};
  }

 private:
  linux_platform::LinuxDeviceBackend* backend_;
  EventRouter& router_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

int CTarnwickApp::run(int argc, char** argv) {
  const CommandLine commandLine = ParseCommandLine(argc, argv);
  if (commandLine.exitCode) return *commandLine.exitCode;

  linux_platform::InstallLinuxFileSystemEdge();
  // One instance per user session, checked before anything is shown.
  auto folder = linux_platform::InstanceFolder();
  std::unique_ptr<linux_platform::InstanceLock> instance;
  if (folder) {
    auto acquired = linux_platform::InstanceLock::acquire(folder.value());
    const auto channelPath = linux_platform::InstanceChannelPath(folder.value());
    if (!acquired) {
      std::fprintf(stderr, "KOR_VM31: %s\n", acquired.error().message.c_str());
    } else if (!acquired.value()) {
      // Another instance runs. `--show` asks it for its window; without a tray its window is
      // the only way in, so a plain start brings it forward too. Otherwise end silently.
      if (commandLine.show) {
        QCoreApplication core(argc, argv);
        if (!InstanceChannel::requestShow(channelPath, true, kShowRequestWaitMs)) {
          std::fprintf(stderr,
                       "KOR_VM31: the running instance did not take the request to show "
                       "its window (%s)\n",
                       (folder.value() / linux_platform::kInstanceLockName).c_str());
          return 1;
        }
      } else if (linux_platform::InstanceLock::runningMode(folder.value()) ==
                 linux_platform::InstanceMode::kWindow) {
        QCoreApplication core(argc, argv);
        InstanceChannel::requestShow(channelPath, false);
      }
      return 0;
    } else {
      instance = std::move(acquired).value();
    }
  } else {
    std::fprintf(stderr, "KOR_VM31: %s\n", folder.error().message.c_str());
  }

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // the program lives in the tray
  const QString programName = QFileInfo(QApplication::applicationFilePath()).completeBaseName();
  QApplication::setApplicationName(programName);
  // The window belongs to the menu entry of this id (the task bar's icon and name).
  QGuiApplication::setDesktopFileName(QStringLiteral(VM31_APP_ID));
  const QIcon icon = ProgramIcon();
  QApplication::setWindowIcon(icon);

  // Data files: beside the executable when it holds config.bin, else the per-user folder,
  // filled from the factory files on the first start.
  auto exeFolder = linux_platform::ExecutableFolder();
  if (!exeFolder) return FailAtStart(programName, exeFolder.error().message);
  const StartFolders folders = PrepareStartFolders(
      exeFolder.value(), UserEnvironment{Env("XDG_CONFIG_HOME"), Env("HOME"), std::nullopt},
      Env("XDG_DATA_DIRS"));
  if (!folders.filled) {
    std::fprintf(stderr, "KOR_VM31: %s\n", folders.filled.error().message.c_str());
  }
  const std::filesystem::path& dataFolder = folders.data;

  auto definition = LoadDeviceDefinition(dataFolder, folders.factory);
  if (!definition) return FailAtStart(programName, definition.error().message);
  // A backend that cannot start (no usable runtime folder, no udev context) leaves the program
  // running as with the mouse absent: a bus that lists nothing, the not-detected notice.
  auto backend = linux_platform::LinuxDeviceBackend::create(definition.value());
  linux_platform::LinuxDeviceBackend* devices = backend ? backend.value().get() : nullptr;
  CombinedBus noDevices({});
  linux_platform::SteadyClock steadyClock;
  if (devices == nullptr) {
    std::fprintf(stderr, "KOR_VM31: %s; the mouse cannot be reached\n",
                 backend.error().message.c_str());
  }

  EventRouter router;
  auto sinkWake = linux_platform::EventFdWake::create();
  if (!sinkWake) return FailAtStart(programName, sinkWake.error().message);
  LoopEventSink sink([&router](const DeviceEvent& event) { router.deviceEvent(event); },
                     *sinkWake.value());
  QSocketNotifier sinkWatch(sinkWake.value()->fd(), QSocketNotifier::Read);
  QObject::connect(&sinkWatch, &QSocketNotifier::activated, [&sink] { sink.dispatch(); });

  DeviceLink link(devices != nullptr ? devices->bus() : noDevices,
                  devices != nullptr ? devices->clock() : steadyClock, sink, definition.value());
  if (devices != nullptr) link.setOwnership(&devices->ownership());
  QtHotplugWatch hotplug(devices, router);
  TrayNotifier notifier(icon, programName);

  MainWindowPaths paths{
      DataFilesIn(dataFolder),
      SkinsRoots(exeFolder.value(),
                 SkinEnvironment{Env("XDG_DATA_HOME"), Env("HOME"), Env("XDG_DATA_DIRS")})};
  CTarnwickDlg model(link, notifier, hotplug, std::move(paths), SystemVersion{}, LocaleLanguage());
  MainWindowPages pages(model);
  // The desktop's pointer settings: KDE Plasma, GSettings, or none (the page then says so),
  // picked when the advanced page first needs them.
  SystemMouseChosenOnFirstUse systemMouse;
  pages.setSystemMouse(&systemMouse);
  model.setPages(&pages);
  router.routeTo(model);
  notifier.setHandlers([&model](TrayClick click) { model.onTray(click); },
                       [&model](int command) { model.onCommand(command); });

  std::unique_ptr<InstanceChannel> channel;
  const linux_keys::NativeScanCodeKeyNames keyNames;
  ShellContext context;
  context.programName = programName;
  context.windowTitle = ToQString(kMainTitle);
  context.keyNames = &keyNames;
  context.beforeExit = [&] {
    sink.shutdown();   // a reader waiting for its event to be handled lets go
    channel.reset();   // closes the show channel
    instance.reset();  // drops the lock
  };
  SkinnedWindow window(model, context);
  window.setWindowIcon(icon);
  window.initialiseModel();
  linux_platform::ReturnFreedMemory();  // what reading the files at start-up took and freed

  if (instance) {
    // The channel is open before the mode is written: a start that reads the mode can send.
    auto listening = InstanceChannel::listen(linux_platform::InstanceChannelPath(folder.value()));
    if (!listening) {
      std::fprintf(stderr, "KOR_VM31: %s\n", listening.error().message.c_str());
    } else {
      channel = std::move(listening).value();
      QObject::connect(channel.get(), &InstanceChannel::showRequested,
                       [&router](bool show) { router.instanceRequest(show); });
      const bool tray = notifier.trayAvailable();
      if (auto announced = instance->announce(tray ? linux_platform::InstanceMode::kTray
                                                   : linux_platform::InstanceMode::kWindow);
          !announced) {
        std::fprintf(stderr, "KOR_VM31: %s\n", announced.error().message.c_str());
      }
    }
  }
  if (commandLine.show) model.onShowRequest();

  const int code = QApplication::exec();
  sink.shutdown();
  return code;
}

}  // namespace vm31::qt
