// Desktop notices through the freedesktop notification service on the
// session bus (org.freedesktop.Notifications). Every call is asynchronous,
// so a session without the service (or without a bus) costs nothing and
// says nothing: the notice is simply not shown. GUI thread.
#pragma once

#include <QObject>
#include <QString>

namespace wrenly::ui {

class CDesktopNotices : public QObject {
  Q_OBJECT

 public:
  explicit CDesktopNotices(QObject* parent = nullptr);

  // Shows a notice, in place of the last one when that is still shown.
  // `body` is plain text.
  void Show(const QString& summary, const QString& body);

 signals:
  // The person clicked the last notice shown.
  void clicked();

 private slots:
  void OnActionInvoked(uint id, const QString& action);
  void OnClosed(uint id, uint reason);

 private:
  // Listens for the service's signals, once there is a bus.
  bool Connect();

  uint shown_ = 0;  // the service's number of the last notice; 0: none shown
  bool listening_ = false;
};

}  // namespace wrenly::ui
