// Brings the engine's messages to the GUI thread: Post may be called on any
// thread (a refresh worker, the schedule, the dock watch) and returns at once;
// the message is emitted later on the thread that owns the bridge. A message
// still queued when the bridge is destroyed is dropped.
#pragma once

#include <QObject>

#include "platform/notifier.h"

namespace wrenly::ui {

class CMessageBridge : public QObject, public Receiver {
  Q_OBJECT

 public:
  explicit CMessageBridge(QObject* parent = nullptr);
  void Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) override;

 signals:
  void received(quint32 message, quint64 wParam, qint64 lParam);
};

}  // namespace wrenly::ui
