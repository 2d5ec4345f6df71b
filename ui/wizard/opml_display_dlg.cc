#include "ui/wizard/opml_display_dlg.h"

#include <QTimer>
#include <QVBoxLayout>

#include "platform/program_folder.h"
#include "store/opml_import.h"
#include "store/paths.h"
#include "ui/frame/commands.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

namespace {
constexpr int kUrlRole = Qt::UserRole + 1;
}

std::string SampleChannelsPath() {
  const std::string downloaded = GetDataRoot() + "/SampleChannels.opml";
  return FileExists(downloaded) ? downloaded : GetProgramFolder() + "/SampleChannels.opml";
}

COpmlDisplayDlg::COpmlDisplayDlg(std::string path, CChannelCatalog& catalog)
    : path_(path.empty() ? SampleChannelsPath() : std::move(path)),
      catalog_(catalog),
      heading_(MakeHeading(this, "wizardHeading")),
      prompt_(new QLabel(this)),
      loading_(new QLabel(this)),
      tree_(new CCheckTreeCtrl(this)) {
  setObjectName("opmlPage");
  tree_->setObjectName("opmlTree");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(heading_);
  layout->addWidget(prompt_);
  layout->addWidget(loading_);
  layout->addWidget(tree_, 1);
  prompt_->hide();
  tree_->hide();
  Retranslate();
  QTimer::singleShot(0, this, &COpmlDisplayDlg::Load);
}

void COpmlDisplayDlg::Retranslate() {
  heading_->setText(Tr(u"New Channel Wizard"));
  prompt_->setText(Tr(u"Choose the channels to add:"));
  loading_->setText(Tr(u"Loading, please waiting..."));
}

void COpmlDisplayDlg::SetKeys(CSoftKeyBar& keys) {
  keys.SetLeft(Tr(u"Back"), cmd::kBack);
  keys.SetRight(Tr(u"Finish"), cmd::kFinish);
}

void COpmlDisplayDlg::Load() {
  // A missing or unreadable file shows an empty tree.
  const auto entries = ReadOpmlEntries(path_, nullptr);
  tree_->setUpdatesEnabled(false);
  for (const OpmlEntry& top : entries.value_or(std::vector<OpmlEntry>{})) {
    QTreeWidgetItem* item = tree_->AddEntry(nullptr, ToQString(top.text), !top.url.empty());
    item->setData(0, kUrlRole, ToQString(top.url));
    for (const OpmlEntry& child : top.children) {
      QTreeWidgetItem* sub = tree_->AddEntry(item, ToQString(child.text), true);
      sub->setData(0, kUrlRole, ToQString(child.url));
    }
    if (!top.children.empty()) item->setExpanded(true);
  }
  tree_->setUpdatesEnabled(true);
  if (tree_->topLevelItemCount() > 0) tree_->setCurrentItem(tree_->topLevelItem(0));
  loading_->hide();
  prompt_->show();
  tree_->show();
  tree_->setFocus();
  emit loaded();
}

bool COpmlDisplayDlg::Finish() {
  const std::u16string others = ToU16(Tr(u"Others"));
  bool added = false;
  const auto add = [&](std::u16string_view category, const QTreeWidgetItem& item, bool channel) {
    const std::u16string url = ToU16(item.data(0, kUrlRole).toString());
    if (channel && url.empty()) return;
    if (catalog_.AddChannel(category, ToU16(item.text(0)), url) > 0) added = true;
  };
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem& top = *tree_->topLevelItem(i);
    if (top.checkState(0) != Qt::Unchecked) {
      if (top.data(0, kUrlRole).toString().isEmpty())
        add(u"", top, false);
      else
        add(others, top, true);
    }
    const std::u16string category = ToU16(top.text(0));
    for (int c = 0; c < top.childCount(); ++c)
      if (CCheckTreeCtrl::IsChecked(*top.child(c))) add(category, *top.child(c), true);
  }
  return added;
}

bool COpmlDisplayDlg::OnCommand(int command) {
  if (command == cmd::kBack) {
    emit done(false, false);
    return true;
  }
  if (command == cmd::kFinish) {
    emit done(true, Finish());
    return true;
  }
  return false;
}

}  // namespace wrenly::ui
