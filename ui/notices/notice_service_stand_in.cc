// A stand-in for the desktop's notification service, for the notice tests:
// it owns org.freedesktop.Notifications on the session bus, answers Notify
// with a new number and records what it received. Its own interface
// (app.wrenly.NoticeRecorder at /recorder) lists the recorded notices and
// clicks one. Prints "ready" once it owns the name.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>

class Notifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList received;  // "summary\tbody\tactions\treplaces" per Notify

 public slots:
  QStringList GetCapabilities() { return {"actions", "body"}; }
  QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
    vendor = "Wrenly tests";
    version = "1";
    specVersion = "1.2";
    return "notice-stand-in";
  }
  uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString& body,
              const QStringList& actions, const QVariantMap&, int) {
    received << summary + '\t' + body + '\t' + actions.join(',') + '\t' + QString::number(replacesId);
    return replacesId != 0 ? replacesId : ++last_;
  }
  void CloseNotification(uint id) { emit NotificationClosed(id, 3); }

 signals:
  void ActionInvoked(uint id, const QString& actionKey);
  void NotificationClosed(uint id, uint reason);

 private:
  uint last_ = 0;
};

class Recorder : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "app.wrenly.NoticeRecorder")

 public:
  explicit Recorder(Notifications& notifications) : notifications_(notifications) {}

 public slots:
  QStringList Received() { return notifications_.received; }
  // A click on the notice: the default action, then the notice closes.
  void Click(uint id) {
    emit notifications_.ActionInvoked(id, "default");
    emit notifications_.NotificationClosed(id, 2);
  }

 private:
  Notifications& notifications_;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  Notifications notifications;
  Recorder recorder(notifications);
  if (!bus.registerObject("/org/freedesktop/Notifications", &notifications,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
      !bus.registerObject("/recorder", &recorder, QDBusConnection::ExportAllSlots) ||
      !bus.registerService("org.freedesktop.Notifications")) {
    std::fprintf(stderr, "notice_service_stand_in: %s\n", qPrintable(bus.lastError().message()));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return app.exec();
}

#include "notice_service_stand_in.moc"
