// Runs every GUI test class of the program in one process.
#include <QApplication>
#include <QTest>

#include "gui_driver.h"
#include "logo.h"
#include "ui_tests.h"

namespace vendrix::test {
std::vector<std::pair<const char*, std::function<QObject*()>>>& TestClasses() {
  static std::vector<std::pair<const char*, std::function<QObject*()>>> classes;
  return classes;
}
}  // namespace vendrix::test

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vendrix");
  QApplication::setWindowIcon(vendrix::ui::LogoIcon());
  // Test function names on the command line pick the classes that have them.
  QStringList options, functions;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    (arg.startsWith('-') ? options : functions) << arg;
  }
  int failed = 0;
  for (auto& [name, make] : vendrix::test::TestClasses()) {
    std::unique_ptr<QObject> test(make());
    QStringList args{QString::fromLocal8Bit(argv[0])};
    args << options;
    bool wanted = functions.isEmpty();
    for (const QString& f : functions) {
      if (test->metaObject()->indexOfMethod((f + "()").toLatin1()) >= 0) {
        args << f;
        wanted = true;
      }
    }
    if (wanted) failed += QTest::qExec(test.get(), args);
  }
  vendrix::test::WriteScreenNames();
  return failed == 0 ? 0 : 1;
}
