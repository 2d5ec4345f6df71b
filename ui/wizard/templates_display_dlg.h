// The wizard's template chooser: every template file ("*.xml") of the
// templates folders as a group of channels in a check tree. Finish adds the
// checked channels to the catalog and writes each one's extraction script
// as its "Ch%03d.tpl" copy (UTF-8 with a byte-order mark), which is what
// gives the channel full texts. The folders are read just after the page shows.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "store/channel_catalog.h"
#include "ui/wizard/chooser_page.h"

namespace wrenly::ui {

class CTemplatesDisplayDlg : public CChooserPage {
  Q_OBJECT

 public:
  // An empty list reads the data root's "Templates" (downloaded), then the
  // program folder's; a file name found in both is read from the first.
  CTemplatesDisplayDlg(std::vector<std::string> folders, CChannelCatalog& catalog);

 protected:
  void Fill() override;
  bool Finish() override;

 private:
  void LoadFile(const std::string& path);
  void OnReport(const std::u16string& element, const std::u16string& first, const std::u16string& second);
  // Adds one entry's channel and writes its template copy; true when added.
  bool AddEntry(const QTreeWidgetItem& item, const QString& title);

  std::vector<std::string> folders_;
  CChannelCatalog& catalog_;
  std::vector<std::u16string> urls_;
  std::map<int, std::u16string> scripts_;
  std::vector<int> waiting_;
  bool newFile_ = false;
  QTreeWidgetItem* group_ = nullptr;
};

}  // namespace wrenly::ui
