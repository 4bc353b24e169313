#include "qt_prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "error_form.h"
#include "qt_text.h"

namespace vendrix::ui {
namespace {

// The window the person was in gets the keyboard back, also where no window manager
// does that.
void GiveFocusBack(QWidget* parent) {
  if (parent && parent->isVisible()) parent->window()->activateWindow();
}

int ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons) {
  QApplication::beep();
  QMessageBox box(icon, caption, text, buttons, parent);
  box.setObjectName("MessageBox");
  const int result = box.exec();
  GiveFocusBack(parent);
  return result;
}

}  // namespace

void QtPrompt::Inform(const std::string& text) {
  ShowBox(parent_, QMessageBox::Information, "Information", ToQt(text), QMessageBox::Ok);
}

void QtPrompt::Error(const std::string& text) {
  ShowBox(parent_, QMessageBox::Critical, "Error", ToQt(text), QMessageBox::Ok);
}

Answer QtPrompt::Confirm(const std::string& text, bool withCancel) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) buttons |= QMessageBox::Cancel;
  switch (ShowBox(parent_, QMessageBox::Question, "Confirm", ToQt(text), buttons)) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      // The close box of a Yes/No box counts as No.
      return withCancel ? Answer::Cancel : Answer::No;
  }
}

std::optional<std::string> QtPrompt::AskName(const std::string& caption) {
  TSiteEntryFrm entry(ToQt(caption), parent_);
  const int result = entry.exec();
  GiveFocusBack(parent_);
  if (result != QDialog::Accepted) return std::nullopt;
  return FromQt(entry.Text());
}

QString QtPrompt::NameFilter(const std::string& filter) {
  const QString f = ToQt(filter);
  const qsizetype bar = f.indexOf('|');
  if (bar < 0) return f;
  QStringList patterns;
  for (const QString& p : f.mid(bar + 1).split(';', Qt::SkipEmptyParts)) {
    patterns << p;
    if (p.toLower() != p) patterns << p.toLower();
  }
  patterns.removeDuplicates();
  return f.left(bar) + " (" + patterns.join(' ') + ")";
}

std::optional<std::string> QtPrompt::ChooseFile(const FileChoice& choice) {
  QFileDialog dialog(parent_, ToQt(choice.title), lastDir_, NameFilter(choice.filter));
  dialog.setObjectName("OpenDialog");
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!choice.defaultExtension.empty()) dialog.setDefaultSuffix(ToQt(choice.defaultExtension));
  const int result = dialog.exec();
  GiveFocusBack(parent_);
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().front();
  lastDir_ = dialog.directory().absolutePath();
  return FromQt(path);
}

void QtPrompt::ErrorDialog(const std::string& title, const std::string& text,
                           const std::string& instruction) {
  TErrorForm form(ToQt(title), ToQt(text), ToQt(instruction), parent_);
  form.exec();
  GiveFocusBack(parent_);
}

std::optional<std::string> QtPrompt::ChooseSaveFile(const FileChoice& choice) {
  QFileDialog dialog(parent_, ToQt(choice.title), lastDir_, NameFilter(choice.filter));
  dialog.setObjectName("SaveDialog");
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  if (!choice.defaultExtension.empty()) dialog.setDefaultSuffix(ToQt(choice.defaultExtension));
  const int result = dialog.exec();
  GiveFocusBack(parent_);
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const std::string path = dialog.selectedFiles().front().toStdString();
  lastDir_ = dialog.directory().absolutePath();
  auto exact = Utf8ToCp1252Exact(path);
  if (!exact) {
    Error("The file name \"" + Utf8ToCp1252(path) +
          "\" holds characters that Windows-1252 cannot hold; use others.");
  }
  return exact;
}

}  // namespace vendrix::ui
