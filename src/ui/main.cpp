// vendrix: the desktop program.
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>

#include "app/tgwide.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/tree_lock.h"
#include "logo.h"
#include "main_frm.h"
#include "net/process_signals.h"
#include "single_instance.h"
#include "splash.h"

namespace {

constexpr const char* kUsage =
    "usage: vendrix [--data-dir DIR] [--exit-when-shown | --exit-when-loaded] | --version\n"
    "  --data-dir DIR     the data tree to work on (default: $VENDRIX_DATA; else the\n"
    "                     program's folder when it holds a \"portable\" file or a data\n"
    "                     tree; else $XDG_DATA_HOME/vendrix, ~/.local/share/vendrix)\n"
    "  --version          print the version\n"
    "  --exit-when-shown  start as usual, without waiting for the splash window, and\n"
    "                     end as soon as the main window is shown (to time the start)\n"
    "  --exit-when-loaded as --exit-when-shown, but end once the site table has been\n"
    "                     read too\n";

// The program holds the data tree's writer lock while it is open on it, so that no
// run or command of vendrix-cli changes the tree under it. Refused (another holds the
// tree): says who, and the program does not start. A tree it may not write to is
// opened to read only.
std::optional<vendrix::TreeLock> HoldDataTree(const std::string& root) {
  try {
    if (!vendrix::TreeLock::Writable(root)) return vendrix::TreeLock::Share(root);
    return vendrix::TreeLock::Take(root, "the desktop program", vendrix::TreeHolder::Desktop);
  } catch (const vendrix::VendrixError& e) {
    const std::string text = vendrix::Cp1252ToUtf8(e.what());
    std::fprintf(stderr, "vendrix: %s\n", text.c_str());
    QMessageBox::critical(nullptr, "Vendrix", QString::fromStdString(text));
    return std::nullopt;
  }
}

}  // namespace

int main(int argc, char** argv) {
  vendrix::IgnoreProcessSignals();
  std::string dataDir;
  bool exitWhenShown = false, exitWhenLoaded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--data-dir" && i + 1 < argc) {
      dataDir = argv[++i];
    } else if (arg == "--exit-when-shown") {
      exitWhenShown = true;
    } else if (arg == "--exit-when-loaded") {
      exitWhenShown = exitWhenLoaded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::puts("Vendrix 2.08");
      return 0;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("Vendrix");
  QApplication::setDesktopFileName("com.halvane.vendrix");
  QApplication::setWindowIcon(vendrix::ui::LogoIcon());

  const std::string root = vendrix::PrepareDataRoot(dataDir);

  // A second start only brings the running one to the front.
  vendrix::ui::SingleInstance instance(QString::fromStdString(root));
  if (instance.AnotherIsRunning()) return 0;
  const std::optional<vendrix::TreeLock> treeLock = HoldDataTree(root);
  if (!treeLock) return 1;

  QPointer<vendrix::ui::Splash> splash = new vendrix::ui::Splash;
  splash->show();
  splash->repaint();
  QApplication::processEvents();

  vendrix::ui::TMainFrm main(root);
  const bool readOnly = !treeLock->Exclusive();
  main.Core().Flags().ReadOnly = readOnly;
  if (!main.Initialise()) {
    if (splash) splash->close();
    QMessageBox::critical(nullptr, "Vendrix", "Unable to initialize Vendrix!");
    return 1;
  }
  QObject::connect(&instance, &vendrix::ui::SingleInstance::ActivationRequested, &main,
                   &vendrix::ui::TMainFrm::Activate);
  main.SetShownHook([splash, exitWhenShown, exitWhenLoaded, readOnly, root, &main] {
    if (splash) splash->close();
    if (readOnly && !exitWhenShown) {
      main.setWindowTitle(main.windowTitle() + " (read-only)");
      // Opened over the window once it is on screen, without a loop of its own.
      QTimer::singleShot(0, &main, [&main, root] {
        auto* notice = new QMessageBox(
            QMessageBox::Information, "Vendrix",
            QString::fromStdString("The data tree " + root +
                                   " is read-only: Vendrix shows it, and nothing can be saved."),
            QMessageBox::Ok, &main);
        notice->setObjectName("readOnlyNotice");
        notice->setAttribute(Qt::WA_DeleteOnClose);
        notice->open();
      });
    }
    // Straight out of the event loop: no close questions, nothing saved.
    if (exitWhenShown && !exitWhenLoaded) {
      QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    }
  });
  if (exitWhenLoaded) {
    main.SetLoadedHook([] { QTimer::singleShot(0, [] { QCoreApplication::exit(0); }); });
  }
  const int splashLeft = splash && !exitWhenShown ? splash->RemainingMs() : 0;
  QTimer::singleShot(splashLeft, &main, [&main] { main.show(); });
  return app.exec();
}
