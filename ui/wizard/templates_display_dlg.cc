#include "ui/wizard/templates_display_dlg.h"

#include <set>

#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/atomic_file.h"
#include "store/paths.h"
#include "store/template_document.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

namespace {
constexpr int kPositionRole = Qt::UserRole + 1;
constexpr char16_t kPromptText[] = u"Choose the channel templates to add:";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
}  // namespace

CTemplatesDisplayDlg::CTemplatesDisplayDlg(std::vector<std::string> folders, CChannelCatalog& catalog)
    : CChooserPage("templatesPage", "templateTree", kPromptText),
      folders_(std::move(folders)),
      catalog_(catalog) {
  if (folders_.empty()) folders_ = {GetDataRoot() + "/Templates", GetProgramFolder() + "/Templates"};
}

void CTemplatesDisplayDlg::Fill() {
  std::set<std::string> seen;
  for (const std::string& folder : folders_) {
    for (const FoundFile& file : FindFiles(folder + "/*.xml")) {
      if (file.isFolder || !seen.insert(file.name).second) continue;
      LoadFile(folder + "/" + file.name);
    }
  }
}

void CTemplatesDisplayDlg::LoadFile(const std::string& path) {
  newFile_ = true;
  group_ = nullptr;
  CTemplateDocument doc([this](const std::u16string& element, const std::u16string& first,
                               const std::u16string& second) { OnReport(element, first, second); });
  doc.LoadAndReport(path);
  // Channels no later script follows keep an empty one.
  waiting_.clear();
}

void CTemplatesDisplayDlg::OnReport(const std::u16string& element, const std::u16string& first,
                                    const std::u16string& second) {
  if (element == u"template") {
    if (newFile_) {
      group_ = tree().AddEntry(nullptr, QString(), false);
      newFile_ = false;
    }
    group_->setText(0, ToQString(second));
  } else if (element == u"channel") {
    QTreeWidgetItem* item = tree().AddEntry(group_, ToQString(first), true);
    if (group_) group_->setExpanded(true);
    const int position = static_cast<int>(urls_.size());
    urls_.push_back(second);
    item->setData(0, kPositionRole, position);
    waiting_.push_back(position);
  } else if (element == u"parse_article") {
    while (!waiting_.empty()) {
      scripts_[waiting_.back()] = second;
      waiting_.pop_back();
    }
  }
}

bool CTemplatesDisplayDlg::AddEntry(const QTreeWidgetItem& item, const QString& title) {
  const int position = item.data(0, kPositionRole).toInt();
  const std::u16string& url = urls_[position];
  const std::u16string category = url.empty() ? std::u16string() : ToU16(Tr(u"Others"));
  const int number = catalog_.AddChannel(category, ToU16(title), url);
  if (number == 0) return false;
  char name[32];
  std::snprintf(name, sizeof name, "Ch%03d.tpl", number);
  const auto script = scripts_.find(position);
  const std::string text = script != scripts_.end() ? Utf16ToUtf8(script->second) : std::string();
  // The channel stays added even when its copy cannot be written.
  WriteFileAtomically(ChannelDataPath(name), kUtf8Mark + text);
  return true;
}

bool CTemplatesDisplayDlg::Finish() {
  bool added = false;
  for (int i = 0; i < tree().topLevelItemCount(); ++i) {
    const QTreeWidgetItem& top = *tree().topLevelItem(i);
    if (CCheckTreeCtrl::IsChecked(top) && top.data(0, kPositionRole).isValid())
      added = AddEntry(top, top.text(0)) || added;
    for (int c = 0; c < top.childCount(); ++c) {
      const QTreeWidgetItem& child = *top.child(c);
      if (CCheckTreeCtrl::IsChecked(child) && child.data(0, kPositionRole).isValid())
        added = AddEntry(child, top.text(0) + " - " + child.text(0)) || added;
    }
  }
  return added;
}

}  // namespace wrenly::ui
