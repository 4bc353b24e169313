#include "single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace vendrix::ui {

namespace {
constexpr int kWaitMs = 2000;
const QByteArray kActivate = "activate\n";
}  // namespace

SingleInstance::SingleInstance(const QString& dataRoot, QObject* parent)
    : QObject(parent), name_(ServerName(dataRoot)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::ServerName(const QString& dataRoot) {
  const QString canonical = QDir(dataRoot).canonicalPath().isEmpty()
                                ? QDir(dataRoot).absolutePath()
                                : QDir(dataRoot).canonicalPath();
  const QByteArray hash =
      QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  return QString("vendrix-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::AnotherIsRunning() {
  // Two starts at the same moment: the lock lets one of them look and listen first.
  QString dir = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")
                    ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                    : QString();
  if (dir.isEmpty()) dir = QDir::tempPath();
  QLockFile lock(dir + "/" + name_ + ".lock");
  lock.setStaleLockTime(10000);
  lock.tryLock(kWaitMs);

  QLocalSocket socket;
  socket.connectToServer(name_);
  if (socket.waitForConnected(kWaitMs)) {
    socket.write(kActivate);
    socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kWaitMs);
    return true;
  }
  // Nobody answers: a socket file left by a crashed instance must not stop this start.
  QLocalServer::removeServer(name_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (server_->listen(name_)) {
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
  }
  return false;
}

void SingleInstance::Accept() {
  while (QLocalSocket* peer = server_->nextPendingConnection()) {
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
      // Only the one short request is read; anything longer is dropped.
      const QByteArray line = peer->read(64);
      if (line.startsWith(kActivate.trimmed())) emit ActivationRequested();
      peer->disconnectFromServer();
    });
  }
}

}  // namespace vendrix::ui
