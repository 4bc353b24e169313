#pragma once
// The single-instance rule: one running Vendrix per user and data tree. The first
// start listens on a local socket named after the user and the data tree; a second
// start finds it, asks it to come to the front and ends before it creates a window.
// A socket left behind by a crashed instance is removed. GUI thread only.
#include <QObject>
#include <QString>

class QLocalServer;

namespace vendrix::ui {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // dataRoot: the data tree this instance works on.
  SingleInstance(const QString& dataRoot, QObject* parent = nullptr);
  ~SingleInstance() override;

  // The socket name for a data tree (per user).
  static QString ServerName(const QString& dataRoot);

  // True when another instance runs on this data tree; it has then been asked to
  // come to the front. False when this one is the first: it now listens.
  bool AnotherIsRunning();

 signals:
  // A later start asked this instance to come to the front.
  void ActivationRequested();

 private:
  void Accept();
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace vendrix::ui
