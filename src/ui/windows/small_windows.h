#pragma once
// The small windows of the main window and the site builder: the About box, the
// script check window, the match-up window "Field Translations" and the default
// script editor. Each is modal over its parent. GUI thread only.
#include <QDialog>
#include <array>
#include <memory>

#include "catalogue/site_builder.h"
#include "qt_prompt.h"

class QLineEdit;
class QPlainTextEdit;

namespace vendrix::ui {

class TMainFrm;

// The About box; its small "&D" button closes it with kEngineCheck.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kEngineCheck = 2;
  explicit TAboutBox(QWidget* parent);
};

// TScriptCheckFrm: "Script Check", the expanded script or the error, and "OK".
class TScriptCheckFrm : public QDialog {
  Q_OBJECT
 public:
  TScriptCheckFrm(const QString& text, QWidget* parent);
};

// "Field Translations": the 18 match-up values; closing the window in any way keeps
// what the edits hold (there is no cancel).
class TMatchUpFrm : public QDialog {
  Q_OBJECT
 public:
  TMatchUpFrm(SiteBuilder& builder, QWidget* parent);
  void done(int result) override;

 private:
  SiteBuilder& builder_;
  std::array<QLineEdit*, kMatchUpCount> edits_{};
};

// The default script editor "Default Script:" of the File menu. Closing it with
// changes (Escape, the close box) asks "Save changes to <script>?" first.
class TDefaultScriptFrm : public QDialog {
  Q_OBJECT
 public:
  TDefaultScriptFrm(TMainFrm& main, DefaultScript which);
  ~TDefaultScriptFrm() override;
  void reject() override;

 private:
  bool Save();
  QtPrompt prompt_;
  QPlainTextEdit* editor_;
  std::unique_ptr<DefaultScriptEditor> script_;
  QString loaded_;
  DefaultScript which_;
};

}  // namespace vendrix::ui
