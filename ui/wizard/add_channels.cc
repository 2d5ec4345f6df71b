#include "ui/wizard/add_channels.h"

#include <QStringList>

#include "ui/channels/refusal_box.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

namespace {

// One line per refused address, and the general line once for the rest.
QString RefusalText(const std::vector<reader::NewChannel>& channels,
                    const std::vector<reader::Subscription>& subscriptions) {
  QStringList lines;
  bool otherRefusals = false;
  for (std::size_t i = 0; i < subscriptions.size(); ++i) {
    const reader::Result& result = subscriptions[i].result;
    if (result.refusal == reader::Refusal::kDuplicateAddress)
      lines << Tr(u"The address %1 is already subscribed as the channel %2.")
                   .arg(ToQString(channels[i].url), ToQString(subscriptions[i].holder));
    else if (!result.done())
      otherRefusals = true;
  }
  if (otherRefusals) lines << Tr(u"Insert Channel failed. Please check whether the channel exists or not.");
  return lines.join('\n');
}

}  // namespace

std::optional<std::vector<reader::Subscription>> AddChannels(QWidget* page,
                                                              const std::vector<reader::NewChannel>& channels) {
  auto added = reader::ReaderData::Current().SubscribeAll(channels);
  if (ShowIfRefused(page, added.result)) return std::nullopt;
  if (const QString text = RefusalText(channels, added.value); !text.isEmpty())
    Dialogs().Inform(page, Tr(u"Error"), text, QMessageBox::Critical);
  return std::move(added.value);
}

bool AnyAdded(const std::vector<reader::Subscription>& subscriptions) {
  for (const reader::Subscription& s : subscriptions)
    if (s.result.done()) return true;
  return false;
}

}  // namespace wrenly::ui
