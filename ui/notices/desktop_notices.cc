#include "ui/notices/desktop_notices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "ui/frame/tr.h"

namespace wrenly::ui {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
// The action a click on the notice itself invokes.
constexpr char kDefaultAction[] = "default";

}  // namespace

CDesktopNotices::CDesktopNotices(QObject* parent) : QObject(parent) {}

bool CDesktopNotices::Connect() {
  if (listening_) return true;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  // No service name: matching one would ask the bus for its owner and wait.
  // Only the notification service sends these signals on this interface.
  bus.connect(QString(), kPath, kInterface, "ActionInvoked", this, SLOT(OnActionInvoked(uint, QString)));
  bus.connect(QString(), kPath, kInterface, "NotificationClosed", this, SLOT(OnClosed(uint, uint)));
  listening_ = true;
  return true;
}

void CDesktopNotices::Show(const QString& summary, const QString& body) {
  if (!Connect()) return;
  QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
  // Servers that read markup in the body would take "&" or "<" of a title
  // for it; the others show the escaped text as it is meant.
  const QVariantMap hints{{"desktop-entry", QString("app.wrenly.Wrenly")}, {"category", QString("im.received")}};
  notify << Tr(u"Wrenly Mobile") << shown_ << QString("app.wrenly.Wrenly") << summary << body.toHtmlEscaped()
         << QStringList{kDefaultAction, Tr(u"Show")} << hints << -1;
  // No service: the bus answers with an error at once, and it is dropped.
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notify), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    const QDBusPendingReply<uint> reply = *call;
    if (!reply.isError()) shown_ = reply.value();
    call->deleteLater();
  });
}

void CDesktopNotices::OnActionInvoked(uint id, const QString& action) {
  if (id != 0 && id == shown_ && action == kDefaultAction) emit clicked();
}

void CDesktopNotices::OnClosed(uint id, uint) {
  if (id == shown_) shown_ = 0;
}

}  // namespace wrenly::ui
