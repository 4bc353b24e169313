#include "qt_prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <utility>

#include "base/cp1252.h"
#include "error_form.h"
#include "qt_text.h"

namespace vendrix::ui {
namespace {

// The window the person was in gets the keyboard back, also where no window manager
// does that.
void GiveFocusBack(QWidget* parent) {
  if (parent && parent->isVisible()) parent->window()->activateWindow();
}

}  // namespace

int QtPrompt::ShowBox(int icon, const QString& caption, const QString& text, int buttons) {
  QApplication::beep();
  QMessageBox box(static_cast<QMessageBox::Icon>(icon), caption, text,
                  QMessageBox::StandardButtons(buttons), parent_);
  box.setObjectName("MessageBox");
  if (defaultNo_ && box.button(QMessageBox::No)) box.setDefaultButton(QMessageBox::No);
  QPointer<QWidget> outer = openBox_;
  openBox_ = &box;
  const int result = box.exec();
  openBox_ = outer;
  GiveFocusBack(parent_);
  return result;
}

void QtPrompt::CloseOpenBox() {
  // Rejected reads as the close box (see Confirm).
  if (auto* box = qobject_cast<QMessageBox*>(openBox_.data())) box->reject();
}

void QtPrompt::Inform(const std::string& text) {
  ShowBox(QMessageBox::Information, "Information", ToQt(text), QMessageBox::Ok);
}

void QtPrompt::Error(const std::string& text) {
  ShowBox(QMessageBox::Critical, "Error", ToQt(text), QMessageBox::Ok);
}

Answer QtPrompt::Confirm(const std::string& text, bool withCancel) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) buttons |= QMessageBox::Cancel;
  switch (ShowBox(QMessageBox::Question, "Confirm", ToQt(text), buttons)) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      // The close box of a Yes/No box counts as No.
      return withCancel ? Answer::Cancel : Answer::No;
  }
}

Answer QtPrompt::AskSave(const std::string& text) {
  switch (ShowBox(QMessageBox::Question, "Confirm", ToQt(text),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)) {
    case QMessageBox::Save:
      return Answer::Yes;
    case QMessageBox::Discard:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

std::optional<std::string> QtPrompt::AskName(const std::string& caption) {
  TSiteEntryFrm entry(ToQt(caption), parent_);
  const int result = entry.exec();
  GiveFocusBack(parent_);
  if (result != QDialog::Accepted) return std::nullopt;
  auto name = ExactFromQt(entry.Text());
  if (!name) Error(FromQtRefusal(entry.Text()));
  return name;
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
  // A proposed name is for the next save chooser only.
  proposed_ = std::exchange(suggested_, QString());
  const QString suggested = proposed_;
  if (chooser_) {
    const QString path = chooser_(mode, choice);
    if (path.isEmpty()) return std::nullopt;
    return ExactPath(path);
  }
  const bool save = mode == FileMode::Save;
  QFileDialog dialog(parent_, ToQt(choice.title), lastDir_);
  dialog.setObjectName(save ? "SaveDialog" : "OpenDialog");
  // Names on Linux need not end as the filter expects: every file stays one choice away.
  QStringList filters;
  if (!choice.filter.empty()) filters << NameFilter(choice.filter);
  filters << "All files (*)";
  dialog.setNameFilters(filters);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (!choice.defaultExtension.empty()) dialog.setDefaultSuffix(ToQt(choice.defaultExtension));
  if (save && !suggested.isEmpty()) dialog.selectFile(suggested);
  const int result = dialog.exec();
  GiveFocusBack(parent_);
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().front();
  lastDir_ = dialog.directory().absolutePath();
  return ExactPath(path);
}

std::optional<std::string> QtPrompt::ExactPath(const QString& chosen) {
  auto exact = ExactFromQt(chosen);
  if (!exact) Error(FromQtRefusal(chosen));
  return exact;
}

void QtPrompt::ErrorDialog(const std::string& title, const std::string& text,
                           const std::string& instruction) {
  TErrorForm form(ToQt(title), ToQt(text), ToQt(instruction), parent_);
  form.exec();
  GiveFocusBack(parent_);
}

}  // namespace vendrix::ui
