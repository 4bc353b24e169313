// vendrix: the desktop program.
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <climits>
#include <cstdio>
#include <string>

#include "app/tgwide.h"
#include "base/file_io.h"
#include "logo.h"
#include "main_frm.h"
#include "net/process_signals.h"
#include "single_instance.h"
#include "splash.h"

namespace {

constexpr const char* kUsage =
    "usage: vendrix [--data-dir DIR]\n"
    "  --data-dir DIR   the data tree to work on (default: beside the program when\n"
    "                   writable, else $XDG_DATA_HOME/vendrix)\n";

}  // namespace

int main(int argc, char** argv) {
  vendrix::IgnoreProcessSignals();
  std::string dataDir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--data-dir" && i + 1 < argc) {
      dataDir = argv[++i];
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

  QPointer<vendrix::ui::Splash> splash = new vendrix::ui::Splash;
  splash->show();
  splash->repaint();
  QApplication::processEvents();

  vendrix::ui::TMainFrm main(root);
  if (!main.Initialise()) {
    if (splash) splash->close();
    QMessageBox::critical(nullptr, "Vendrix", "Unable to initialize Vendrix!");
    return 1;
  }
  QObject::connect(&instance, &vendrix::ui::SingleInstance::ActivationRequested, &main,
                   &vendrix::ui::TMainFrm::Activate);
  main.SetShownHook([splash] {
    if (splash) splash->close();
  });
  QTimer::singleShot(splash ? splash->RemainingMs() : 0, &main, [&main] { main.show(); });
  return app.exec();
}
