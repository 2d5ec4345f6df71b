#include "ui/frame/message_bridge.h"

namespace wrenly::ui {

CMessageBridge::CMessageBridge(QObject* parent) : QObject(parent) {}

void CMessageBridge::Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  QMetaObject::invokeMethod(
      this, [this, message, wParam, lParam] { emit received(message, wParam, lParam); },
      Qt::QueuedConnection);
}

}  // namespace wrenly::ui
