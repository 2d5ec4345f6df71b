#include "ui/wizard/templates_display_dlg.h"

#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/atomic_file.h"
#include "store/paths.h"
#include "store/template_document.h"
#include "ui/frame/commands.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

namespace {
constexpr int kPositionRole = Qt::UserRole + 1;
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
}  // namespace

CTemplatesDisplayDlg::CTemplatesDisplayDlg(std::vector<std::string> folders, CChannelCatalog& catalog)
    : folders_(std::move(folders)),
      catalog_(catalog),
      heading_(MakeHeading(this, "wizardHeading")),
      prompt_(new QLabel(this)),
      loading_(new QLabel(this)),
      tree_(new CCheckTreeCtrl(this)) {
  setObjectName("templatesPage");
  tree_->setObjectName("templateTree");
  if (folders_.empty()) folders_ = {GetDataRoot() + "/Templates", GetProgramFolder() + "/Templates"};
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(heading_);
  layout->addWidget(prompt_);
  layout->addWidget(loading_);
  layout->addWidget(tree_, 1);
  prompt_->hide();
  tree_->hide();
  Retranslate();
  QTimer::singleShot(0, this, &CTemplatesDisplayDlg::Load);
}

void CTemplatesDisplayDlg::Retranslate() {
  heading_->setText(Tr(u"New Channel Wizard"));
  prompt_->setText(Tr(u"Choose the channel templates to add:"));
  loading_->setText(Tr(u"Loading, please waiting..."));
}

void CTemplatesDisplayDlg::SetKeys(CSoftKeyBar& keys) {
  keys.SetLeft(Tr(u"Back"), cmd::kBack);
  keys.SetRight(Tr(u"Finish"), cmd::kFinish);
}

void CTemplatesDisplayDlg::Load() {
  tree_->setUpdatesEnabled(false);
  std::set<std::string> seen;
  for (const std::string& folder : folders_) {
    for (const FoundFile& file : FindFiles(folder + "/*.xml")) {
      if (file.isFolder || !seen.insert(file.name).second) continue;
      LoadFile(folder + "/" + file.name);
    }
  }
  tree_->setUpdatesEnabled(true);
  if (tree_->topLevelItemCount() > 0) {
    tree_->setCurrentItem(tree_->topLevelItem(0));
    tree_->scrollToTop();
  }
  loading_->hide();
  prompt_->show();
  tree_->show();
  tree_->setFocus();
  emit loaded();
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
      group_ = tree_->AddEntry(nullptr, QString(), false);
      newFile_ = false;
    }
    group_->setText(0, ToQString(second));
  } else if (element == u"channel") {
    QTreeWidgetItem* item = tree_->AddEntry(group_, ToQString(first), true);
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
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem& top = *tree_->topLevelItem(i);
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

bool CTemplatesDisplayDlg::OnCommand(int command) {
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
