// The wizard's template chooser: every template file ("*.xml") of the
// templates folders as a group of channels in a check tree. Finish adds the
// checked channels to the catalog in one change, each with its extraction
// script as its template copy (which is what gives the channel full texts);
// addresses already subscribed are refused by name. The folders are read
// just after the page shows.
#pragma once

#include <string>
#include <vector>

#include "reader/reader_data.h"
#include "ui/wizard/chooser_page.h"

namespace wrenly::ui {

class CTemplatesDisplayDlg : public CChooserPage {
  Q_OBJECT

 public:
  // An empty list reads the data root's "Templates" (downloaded), then the
  // program folder's; a file name found in both is read from the first.
  explicit CTemplatesDisplayDlg(std::vector<std::string> folders = {});

 protected:
  void Fill() override;
  std::optional<bool> Finish() override;

 private:
  // An entry for the channel, remembered by its position.
  QTreeWidgetItem* AddChannel(QTreeWidgetItem* group, const reader::TemplateChannel& channel);
  // The channel an entry stands for, titled as the catalog gets it.
  reader::NewChannel Chosen(const QTreeWidgetItem& item, const QString& title) const;

  std::vector<std::string> folders_;
  std::vector<reader::TemplateChannel> channels_;
};

}  // namespace wrenly::ui
