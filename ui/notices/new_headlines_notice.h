// The notice of new headlines: counts what a refresh the schedule or docking
// started brought, channel by channel, and when it ends while the window is
// not the active one, shows one desktop notice "N new headlines in M
// channels" that names the first few channels. A refresh the person
// started, a refresh that brought nothing new, or the setting
// "NewHeadlinesNotice" at 0: no notice. GUI thread.
#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <string>
#include <vector>

#include "ui/notices/desktop_notices.h"

namespace wrenly::ui {

// How many channel titles a notice names.
constexpr size_t kNoticeTitles = 3;

struct NoticeText {
  QString summary;  // "N new headlines in M channels", in the current language
  QString body;     // the first channels' titles, one a line, then "and K more"
};
// The notice's texts for this many new headlines in these channels (in
// list order).
NoticeText NewHeadlinesText(int headlines, const std::vector<std::u16string>& titles);

class CNewHeadlinesNotice : public QObject {
  Q_OBJECT

 public:
  explicit CNewHeadlinesNotice(QObject* parent = nullptr);

  // A refresh begins; `automatic` when the schedule or docking started it.
  void Begin(bool automatic);
  // A channel's merge added `count` items; `order` is its row in the refresh.
  void Add(int order, int number, const std::u16string& title, int count);
  // The refresh ended: shows the notice when it should.
  void End(bool windowActive);
  // The first channel the last notice named; 0 before any.
  int firstChannel() const { return firstChannel_; }

 signals:
  // The person clicked the notice.
  void clicked();

 private:
  struct Channel {
    int number = 0;
    std::u16string title;
    int count = 0;
  };
  std::map<int, Channel> channels_;  // by row in the refresh
  bool automatic_ = false;
  int firstChannel_ = 0;
  CDesktopNotices notices_;
};

}  // namespace wrenly::ui
