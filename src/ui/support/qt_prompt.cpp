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
  return Choose(FileMode::Open, choice);
}

std::optional<std::string> QtPrompt::ChooseSaveFile(const FileChoice& choice) {
  return Choose(FileMode::Save, choice);
}

std::optional<std::string> QtPrompt::Choose(FileMode mode, const FileChoice& choice) {
  if (chooser_) {
    const QString path = chooser_(mode, choice);
    if (path.isEmpty()) return std::nullopt;
    return FromQt(path);
  }
  const bool save = mode == FileMode::Save;
  QFileDialog dialog(parent_, ToQt(choice.title), lastDir_, NameFilter(choice.filter));
  dialog.setObjectName(save ? "SaveDialog" : "OpenDialog");
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
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

}  // namespace vendrix::ui
