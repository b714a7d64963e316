// lectryn: the desktop program. The small always-on-top main window with its banner and menus, the
// picker, page windows to read in, and the program's other windows, on Qt; the logic is the same
// code the tests drive on the simulated platform.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDBusConnection>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "accessibility/atspi/AtspiPages.h"
#include "app/AccessibilityConsent.h"
#include "app/AccessibilityConsentBus.h"
#include "app/BrowserPages.h"
#include "app/ListenerSettings.h"
#include "app/NarrationControls.h"
#include "app/ReadOptions.h"
#include "app/SelectionReading.h"
#include "app/Trace.h"
#include "app/TracingVoice.h"
#include "app/Version.h"
#include "app/VoiceEngines.h"
#include "desktop/DesktopBrowserObjects.h"
#include "desktop/MediaPlayerBus.h"
#include "desktop/QtDialogs.h"
#include "desktop/QtFontMetrics.h"
#include "desktop/QtFormHost.h"
#include "desktop/QtPictures.h"
#include "desktop/QtUiLoop.h"
#include "desktop/QtWindowSystem.h"
#include "desktop/WindowRegistry.h"
#include "desktop/X11Windows.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "settings/SystemInformation.h"
#include "sim/ScriptedVoice.h"
#include "speech/EspeakVoiceFactory.h"
#include "speech/speechd/SpeechdVoiceFactory.h"
#include "system/CommandSocket.h"
#include "system/DesktopShell.h"
#include "system/InstanceLock.h"
#include "system/ProgramApp.h"
#include "system/RegistryStore.h"
#include "windows/MakerSite.h"
#include "windows/main/frmMain.h"
#include "windows/savereading/frmSaveReading.h"

namespace {

using namespace lectryn;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kScriptedMsPerWord = 250;
// A copy that is starting holds the lock a little before it listens; one that is busy answers when
// its loop comes round.
constexpr system::SendWaits kHandOverWaits{5000, 5000};
constexpr int32_t kClassNameLength = 256;

void SayError(const std::string& message) {
  std::fprintf(stderr, "lectryn: %s\n", message.c_str());
}

// The narration's call for each command but reading the selection, which the program gives.
using NarrationCall = void (narration::Narration::*)();
constexpr std::pair<system::Command, NarrationCall> kNarrationCalls[] = {
    {system::Command::Pause, &narration::Narration::Pause},    // a reading that runs
    {system::Command::Resume, &narration::Narration::Resume},  // a paused one
    {system::Command::Stop, &narration::Narration::StopSpeaking},
    {system::Command::NextSentence, &narration::Narration::NextSentence},
    {system::Command::PreviousSentence, &narration::Narration::PreviousSentence},
};

// Hands command to the running copy; the exit status of this start.
int HandOver(system::Command command) {
  std::string error;
  std::optional<std::string> path = system::CommandSocketPath(error);
  system::SendOutcome outcome{system::SendResult::NoAnswer, error};
  if (path) outcome = system::SendCommand(*path, command, kHandOverWaits);
  if (outcome.result == system::SendResult::Done) return 0;
  // It holds the lock, so it runs; it just does not listen.
  if (outcome.result == system::SendResult::NotRunning)
    outcome.message = "the running Lectryn takes no commands";
  SayError(app::CommandOption(command) + ": " + outcome.message);
  return kExitFailure;
}

// Nothing when this start goes on as the program, holding lock; else the exit status of a start that
// ends here. A second start hands its command over, and without one ends quietly; a command other
// than reading the selection needs a running copy.
std::optional<int> EndsAtStart(const app::ReadOptions& options, system::InstanceLock& lock) {
  if (!lock.Acquire()) return options.command ? HandOver(*options.command) : 0;
  if (options.command && *options.command != system::Command::ReadSelection) {
    SayError(app::CommandOption(*options.command) + ": Lectryn is not running");
    return kExitFailure;
  }
  return std::nullopt;
}

// The socket later starts hand their commands to; without it the program runs all the same.
std::unique_ptr<system::CommandServer> ListenForCommands() {
  std::string error;
  std::optional<std::string> path = system::CommandSocketPath(error);
  std::unique_ptr<system::CommandServer> server;
  if (path) server = system::CommandServer::Listen(*path, error);
  if (!server) SayError("commands such as lectryn --pause will not reach this copy: " + error);
  return server;
}

// The picker needs screen coordinates, which Wayland does not give to programs: ask for X11
// (XWayland) unless the user chose a platform or there is no X server to ask.
// The icon theme's icon once installed; else the same icon set from the data folder: in the build
// folder it lies in icons/ beside the executable, installed in the hicolor theme beside share/lectryn.
QIcon ProgramIcon() {
  QString id = QString::fromLatin1(app::kApplicationId);
  QIcon icon = QIcon::fromTheme(id);
  if (!icon.isNull()) return icon;
  QString data = QString::fromStdString(system::ProgramApp::DataFolder());
  for (const QString& folder : {data + "/icons", data + "/../icons/hicolor"}) {
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
      QString file = QString("%1/%2x%2/apps/%3.png").arg(folder).arg(size).arg(id);
      if (QFileInfo::exists(file)) icon.addFile(file);
    }
  }
  return icon;
}

// Whether Qt has somewhere to show windows: a display, or a platform chosen by hand.
bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

void ChooseQtPlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
}

// SIGINT and SIGTERM close the main window as its frame would, so its place is saved: the handler
// only writes to a pipe that the event loop watches.
class Termination {
 public:
  explicit Termination(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    writeEnd_ = fds_[1];
    struct sigaction action {};
    action.sa_handler = [](int) {
      char byte = 1;
      [[maybe_unused]] ssize_t written = write(writeEnd_, &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      char bytes[16];
      while (read(fds_[0], bytes, sizeof bytes) > 0) {
      }
      onSignal_();
    });
  }
  ~Termination() {
    notifier_.reset();
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    if (writeEnd_ >= 0) {
      close(fds_[0]);
      close(fds_[1]);
      writeEnd_ = -1;
    }
  }

 private:
  static inline int writeEnd_ = -1;
  int fds_[2] = {-1, -1};
  std::function<void()> onSignal_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

// Every message box is traced, so that a test can see it up and answer it.
class TracingDialogs : public platform::Dialogs {
 public:
  TracingDialogs(platform::Dialogs& dialogs, app::Trace& trace) : dialogs_(dialogs), trace_(trace) {}
  int32_t MsgBox(const std::u16string& text, int32_t buttons, const std::u16string& title) override {
    trace_.Message(text);
    int32_t answer = dialogs_.MsgBox(text, buttons, title);
    trace_.Answer(answer);
    return answer;
  }
  std::optional<std::u16string> InputBox(const std::u16string& prompt, const std::u16string& title,
                                         const std::u16string& defaultText) override {
    return dialogs_.InputBox(prompt, title, defaultText);
  }
  std::optional<std::u16string> SaveFileName(const std::u16string& title,
                                             const std::u16string& kinds) override {
    return dialogs_.SaveFileName(title, kinds);
  }

 private:
  platform::Dialogs& dialogs_;
  app::Trace& trace_;
};

class Program {
 public:
  // lock is held; commands may be null.
  Program(const app::ReadOptions& options, std::FILE* traceFile, system::InstanceLock lock,
          system::CommandServer* commands)
      : options_(options), trace_(traceFile), lock_(std::move(lock)), commands_(commands) {}

  int Run() {
    std::unique_ptr<platform::VoiceFactory> voices = MakeVoices();
    if (!voices) return kExitFailure;
    app::TracingVoiceFactory tracingVoices(*voices, Hooks());
    // The real voice speaks through espeak-ng or the desktop's speech server; each engine's voices
    // are traced, so the trace follows whichever speaks.
    std::unique_ptr<speech::speechd::SpeechdVoiceFactory> desktopVoices;
    std::unique_ptr<app::TracingVoiceFactory> tracingDesktopVoices;
    std::unique_ptr<app::VoiceEngines> engines;
    if (options_.voice != app::VoiceKind::Scripted) {
      desktopVoices = std::make_unique<speech::speechd::SpeechdVoiceFactory>(loop_);
      tracingDesktopVoices = std::make_unique<app::TracingVoiceFactory>(*desktopVoices, Hooks());
      engines = std::make_unique<app::VoiceEngines>(tracingVoices, *tracingDesktopVoices);
    }

    std::string problem;
    std::unique_ptr<system::RegistryStore> registry = system::OpenDefaultRegistry(&problem);
    if (!registry) {
      SayError("cannot open the settings: " + problem);
      return kExitFailure;
    }
    if (engines) engines->UseEngine(StartingEngine(*registry));
    // The about box's "System Info..." finds the system-information program through the settings;
    // nobody installs those values on Linux, so the program records what this desktop has.
    settings::RecordSysInfoCommand(
        *registry, settings::ChooseSysInfoCommand(
                       {system::DesktopShell::FindProgram,
                        [](const std::string& path) { return system::DesktopShell().FileExists(path); }},
                       qEnvironmentVariable("XDG_CURRENT_DESKTOP").toStdString()));
    desktop::WindowRegistry handles;
    // Other programs' pages (web browsers) are read through the accessibility bus; the X server
    // says which window is under the pointer.
    desktop::X11Windows otherWindows;
    // The bus alone serves reading the focused program's selection, on Wayland too.
    auto bus = std::make_unique<accessibility::atspi::AtspiPages>(
        [this](std::function<void()> task) { loop_.Post(std::move(task)); }, BusReports());
    std::unique_ptr<app::BrowserPages> browserPages;
    if (otherWindows.Available() && QGuiApplication::platformName() == QLatin1String("xcb")) {
      browserPages = std::make_unique<app::BrowserPages>(*bus, otherWindows);
    } else {
      SayError(
          "reading pages in other programs' windows needs X11; pages opened in Lectryn can be read as usual");
    }
    desktop::QtWindowSystem windows(handles);
    windows.SetOtherPrograms(&otherWindows, browserPages.get());
    windows.onOutline = [this](platform::HWND, QRect rect) {
      trace_.Outline(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1);
    };
    desktop::DesktopBrowserObjects browsers(loop_, handles, std::make_shared<desktop::QtFontMetrics>());
    browsers.SetOnWindowShown([this](const std::string& name, bool shown) { trace_.Window(name, shown); });
    system::DesktopShell shell;
    desktop::QtDialogs qtDialogs;
    TracingDialogs dialogs(qtDialogs, trace_);
    desktop::QtPictures pictures;
    system::ProgramApp app(LECTRYN_VERSION_MAJOR, LECTRYN_VERSION_MINOR, LECTRYN_VERSION_PATCH,
                           std::move(lock_));
    desktop::QtFormHost host(handles, windows.TwipsPerPixel());
    host.onShown = [this](const forms::Form& form, bool shown) { trace_.Window(form.Name(), shown); };
    platform::VoiceFactory& programVoices =
        engines ? static_cast<platform::VoiceFactory&>(*engines) : tracingVoices;
    platform::Platform platform{loop_, programVoices, browsers, windows, *registry,
                                shell, dialogs,       pictures, app};

    // Browsers show their pages on the bus only while the desktop's accessibility is on.
    app::AccessibilityConsentBus desktopAccessibility(QDBusConnection::sessionBus());
    app::AccessibilityConsent consent(desktopAccessibility, dialogs, *registry);
    windows::main::frmMain main(platform, windows::MakerSite{});
    main_ = &main;
    main.SetHost(&host);
    auto release = main.Form_MouseUp;
    main.Form_MouseUp = [&, release](int16_t button, int16_t shift, float x, float y) {
      if (trace_.Enabled()) trace_.Release();
      bool picked = main.mlngHwndCaptured != 0;
      release(button, shift, x, y);
      // A drag that ends on a browser whose pages the bus does not show says why, after the
      // release is done.
      if (!picked && browserPages)
        loop_.Post([&] { TellAboutBrowserUnderPointer(windows, *browserPages, consent); });
    };
    // The picture stored with the window is the idle banner of the program's folder here.
    platform::Tolerate(
        [&] { main.SetPicture(pictures.LoadPicture(platform::ProgramFile(app, "Banner1.gif"))); });
    // Closing the main window ends the program.
    main.Subscribe([](forms::Control& control, forms::Property property) {
      if (property == forms::Property::Loaded && !static_cast<forms::Form&>(control).Loaded())
        QCoreApplication::quit();
    });
    // "Save Reading As..." of each page window: one progress window per export, kept until the next.
    std::vector<std::unique_ptr<windows::savereading::frmSaveReading>> exports;
    browsers.SetOnSaveReading([&](desktop::PageWindow& window) {
      std::erase_if(exports, [](const auto& form) { return !form->Loaded(); });
      platform::DocumentPtr page;
      platform::Tolerate([&] { page = window.document(); });
      auto form = std::make_unique<windows::savereading::frmSaveReading>(platform);
      form->SetHost(&host);
      if (form->SaveReadingAs(page, windows::savereading::ReadingStartIn(main, page)))
        exports.push_back(std::move(form));
    });
    app::SelectionReading selectionReading(
        main, dialogs, bus.get(),
        {[] { return QGuiApplication::clipboard()->text(QClipboard::Selection).toStdU16String(); },
         [] { return QGuiApplication::clipboard()->text(QClipboard::Clipboard).toStdU16String(); },
         [this](const std::string& note) {
           if (trace_.Enabled()) SayError(note);
         }});
    main.OnReadSelection = [&selectionReading] { selectionReading.Read(); };
    main.Show();
    if (main.IsSecondInstance() || !main.Loaded()) return 0;
    Termination termination([&main] { main.Unload(); });
    loop_.Post([&] {
      consent.AskAtStart(app::ConsentQuestionOf(std::getenv("LECTRYN_ACCESSIBILITY_QUESTION"),
                                                options_.voice == app::VoiceKind::Scripted));
    });

    // Beside the main window, so that dragging from the banner reaches the page.
    browsers.PlaceBeside([&] { return host.WindowOf(main); });
    for (const std::string& page : options_.pages)
      if (!main.OpenPage(platform::FromUtf8(page))) SayError("cannot open " + page);

    // The desktop's media keys and media controls. A desktop without a session bus has none,
    // which is said only to those who follow the program with a trace.
    app::NarrationControls mediaControls(main, [&] {
      main.Show();
      if (QWidget* window = host.WindowOf(main)) {
        window->raise();
        window->activateWindow();
      }
    });
    desktop::MediaPlayerBus mediaPlayer(mediaControls, QDBusConnection::sessionBus());
    if (std::optional<std::string> problem = mediaPlayer.Register(); problem && trace_.Enabled())
      SayError(*problem);

    // Commands of later starts ("lectryn --pause", bound to keys in the desktop's settings).
    std::unique_ptr<QSocketNotifier> commandNotifier;
    if (commands_) {
      commandNotifier = std::make_unique<QSocketNotifier>(commands_->WatchFd(), QSocketNotifier::Read);
      QObject::connect(commandNotifier.get(), &QSocketNotifier::activated, [&] {
        commands_->HandleReady([&](system::Command command) { Carry(main, command); });
      });
    }
    // Started to read the selection: once the main window is up.
    if (options_.command == system::Command::ReadSelection)
      loop_.Post([&] { Carry(main, *options_.command); });
    int status = QApplication::exec();
    main_ = nullptr;
    return status;
  }

 private:
  // A command of a later start, as the menus give it; the trace follows what it changed.
  void Carry(windows::main::frmMain& main, system::Command command) {
    bool wasPaused = main.Paused();
    bool wasReading = main.Reading();
    if (command == system::Command::ReadSelection) {
      if (main.OnReadSelection) main.OnReadSelection();
    } else {
      for (const auto& [commanded, call] : kNarrationCalls)
        if (commanded == command) (main.*call)();
    }
    if (command == system::Command::Stop && wasReading && !main.Reading()) trace_.Stop("command");
    if (!wasPaused && main.Paused()) trace_.Pause();
    if (wasPaused && !main.Paused() && main.Reading()) trace_.Resume();
  }

  static void TellAboutBrowserUnderPointer(desktop::QtWindowSystem& windows, app::BrowserPages& pages,
                                           app::AccessibilityConsent& consent) {
    QPoint at = QCursor::pos();
    platform::HWND under = windows.WindowFromPoint({at.x(), at.y()});
    if (under == 0) return;
    // Naming another program's window asks the browser pages whether it shows a page.
    pages.ForgetAsked();
    std::string className(kClassNameLength, '\0');
    windows.GetClassNameA(under, className, kClassNameLength);
    if (const auto& asked = pages.LastAsked(); asked && asked->answered && !asked->showsPage)
      consent.TellAboutBrowser(asked->window.className, asked->window.pid);
  }

  std::unique_ptr<platform::VoiceFactory> MakeVoices() {
    if (options_.voice == app::VoiceKind::Scripted)
      return std::make_unique<sim::ScriptedVoiceFactory>(loop_, kScriptedMsPerWord);
    speech::AudioChoice audio = options_.audio == app::AudioKind::None ? speech::AudioChoice::Silent()
                                : options_.audio == app::AudioKind::File
                                    ? speech::AudioChoice::WavFile(options_.audioPath)
                                    : speech::AudioChoice::Auto();
    try {
      return std::make_unique<speech::EspeakVoiceFactory>(loop_, audio);
    } catch (const platform::Failure& failure) {
      SayError(failure.what());
      return nullptr;
    }
  }

  // The engine of --voice; without it the one the user chose last, unless the sound goes to a file or
  // nowhere, which only espeak-ng does.
  std::string StartingEngine(system::RegistryStore& registry) const {
    if (options_.voiceGiven)
      return options_.voice == app::VoiceKind::Speechd ? app::VoiceEngines::kSpeechd
                                                       : app::VoiceEngines::kEspeak;
    if (options_.audio != app::AudioKind::Auto) return app::VoiceEngines::kEspeak;
    return app::ReadListenerSettings(registry).engine.value_or(app::VoiceEngines::kEspeak);
  }

  // A highlight the browser did not take leaves the reading going; the trace has each, the user is
  // told once per page.
  accessibility::atspi::PageReports BusReports() {
    accessibility::atspi::PageReports reports;
    reports.problem = [this](const accessibility::atspi::BusProblem& problem) {
      const char* action = accessibility::atspi::ActionName(problem.action);
      trace_.PageFailed(action, problem.url, problem.reason);
      if (!problem.first) return;
      if (problem.action == accessibility::atspi::BusProblem::Action::Listen) {
        SayError("cannot follow changes of browsers' pages (" + problem.reason +
                 "); a page that changes is read as it was");
      } else {
        std::string page = problem.url.empty() ? "a page" : platform::ToUtf8(problem.url);
        SayError("the browser did not take the highlight of " + page + " (" + problem.reason +
                 "); reading goes on");
      }
    };
    if (trace_.Enabled())
      reports.held = [this](const std::u16string& selected) { trace_.BrowserSelection(selected); };
    return reports;
  }

  app::VoiceHooks Hooks() {
    app::VoiceHooks hooks;
    hooks.speak = [this](const std::u16string& text, const std::u16string& language) {
      trace_.Speak(text, language);
    };
    hooks.afterWord = [this](int32_t position, int32_t length, int64_t audioMs) {
      if (main_ && trace_.Enabled()) trace_.Word(app::WordOfNarration(*main_, position, length, audioMs));
    };
    hooks.end = [this](int64_t) { trace_.End(); };
    hooks.failed = [this](const std::string& message) { trace_.Failed(message); };
    return hooks;
  }

  const app::ReadOptions& options_;
  app::Trace trace_;
  desktop::QtUiLoop loop_;
  system::InstanceLock lock_;
  system::CommandServer* commands_;
  windows::main::frmMain* main_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  // A second start with a command (a key bound in the desktop's settings) hands it over before Qt
  // starts, so a key press costs no connection to the display; --help and --version answer here too,
  // so they need no display. A line with Qt's own options does not parse here; it is parsed again
  // once Qt has taken them out.
  system::InstanceLock lock;
  if (app::ParsedCommandLine early = app::ParseDesktopOptions({argv + 1, argv + argc}); early.ok) {
    if (early.help) {
      std::printf("%s", app::DesktopUsage().c_str());
      return 0;
    }
    if (early.version) {
      app::PrintVersion("lectryn");
      return 0;
    }
    if (std::optional<int> status = EndsAtStart(early.options, lock)) return *status;
  } else if (!HasDisplay()) {
    // Qt would end the program at its start for want of a display, before the line is parsed again.
    SayError(early.error);
    std::fprintf(stderr, "%s", app::DesktopUsage().c_str());
    return kExitUsage;
  }

  ChooseQtPlatform();
  // The accessibility library leaves some of its bus connections on GLib's default context; with
  // Qt's own event loop off GLib only the accessibility worker dispatches them.
  if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
  QApplication application(argc, argv);
  QApplication::setApplicationName("Lectryn");
  QApplication::setQuitOnLastWindowClosed(false);  // page windows close; the main window ends the program
  QApplication::setWindowIcon(ProgramIcon());
  QGuiApplication::setDesktopFileName(QString::fromLatin1(app::kApplicationId));

  std::vector<std::string> arguments;
  QStringList qtArguments = QCoreApplication::arguments();  // without Qt's own options
  for (qsizetype i = 1; i < qtArguments.size(); ++i) arguments.push_back(qtArguments[i].toStdString());
  app::ParsedCommandLine parsed = app::ParseDesktopOptions(arguments);
  if (!parsed.ok) {
    SayError(parsed.error);
    std::fprintf(stderr, "%s", app::DesktopUsage().c_str());
    return kExitUsage;
  }
  if (parsed.help || parsed.version) {
    if (parsed.help) std::printf("%s", app::DesktopUsage().c_str());
    if (parsed.version) app::PrintVersion("lectryn");
    return 0;
  }
  if (std::optional<int> status = EndsAtStart(parsed.options, lock)) return *status;
  std::unique_ptr<system::CommandServer> commands = ListenForCommands();

  app::TraceOutput traceOutput(nullptr, nullptr);
  std::string error;
  if (!app::OpenTraceOutput(parsed.options.trace, traceOutput, error)) {
    SayError(error);
    return kExitFailure;
  }
  Program program(parsed.options, traceOutput.get(), std::move(lock), commands.get());
  return program.Run();
}
