// The wizard's OPML chooser: the channels of an OPML file (by default the
// sample list) as a check tree of categories and channels. Finish adds the
// checked categories and channels to the catalog in one change, refusing
// addresses already subscribed by name; top-level channels go into
// "Others". The file is read just after the page shows, behind a loading text.
#pragma once

#include <string>

#include "ui/wizard/chooser_page.h"

namespace wrenly::ui {

class COpmlDisplayDlg : public CChooserPage {
  Q_OBJECT

 public:
  // An empty path shows the sample list: the data root's copy (downloaded)
  // when there is one, else the program folder's.
  explicit COpmlDisplayDlg(std::string path = {});

 protected:
  void Fill() override;
  std::optional<bool> Finish() override;

 private:
  std::string path_;
};

}  // namespace wrenly::ui
