#include "ui/notices/new_headlines_notice.h"

#include <QStringList>

#include "reader/settings.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

NoticeText NewHeadlinesText(int headlines, const std::vector<std::u16string>& titles) {
  const int channels = static_cast<int>(titles.size());
  NoticeText text;
  // Every channel named brought at least one headline, so one headline
  // means one channel.
  if (headlines == 1)
    text.summary = Tr(u"1 new headline in 1 channel");
  else if (channels == 1)
    text.summary = Tr(u"%1 new headlines in 1 channel").arg(headlines);
  else
    text.summary = Tr(u"%1 new headlines in %2 channels").arg(headlines).arg(channels);
  QStringList lines;
  for (size_t i = 0; i < titles.size() && i < kNoticeTitles; ++i) lines << ToQString(titles[i]);
  if (titles.size() > kNoticeTitles) lines << Tr(u"and %1 more").arg(titles.size() - kNoticeTitles);
  text.body = lines.join('\n');
  return text;
}

CNewHeadlinesNotice::CNewHeadlinesNotice(QObject* parent) : QObject(parent) {
  connect(&notices_, &CDesktopNotices::clicked, this, &CNewHeadlinesNotice::clicked);
}

void CNewHeadlinesNotice::Begin(bool automatic) {
  automatic_ = automatic;
  channels_.clear();
}

void CNewHeadlinesNotice::Add(int order, int number, const std::u16string& title, int count) {
  if (count <= 0) return;
  Channel& channel = channels_[order];
  channel.number = number;
  channel.title = title;
  channel.count += count;
}

void CNewHeadlinesNotice::End(bool windowActive) {
  const bool wanted = automatic_ && !windowActive && !channels_.empty() &&
                      reader::SettingNumber(setting::kNewHeadlinesNotice) != 0;
  std::vector<std::u16string> titles;
  int headlines = 0;
  for (const auto& [order, channel] : channels_) {
    titles.push_back(channel.title);
    headlines += channel.count;
  }
  if (wanted) {
    const NoticeText text = NewHeadlinesText(headlines, titles);
    notices_.Show(text.summary, text.body);
    firstChannel_ = channels_.begin()->second.number;
  }
  Begin(false);
}

}  // namespace wrenly::ui
