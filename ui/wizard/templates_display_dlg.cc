#include "ui/wizard/templates_display_dlg.h"

#include "ui/frame/tr.h"
#include "ui/wizard/add_channels.h"

namespace wrenly::ui {

namespace {
constexpr int kPositionRole = Qt::UserRole + 1;
constexpr char16_t kPromptText[] = u"Choose the channel templates to add:";
}  // namespace

CTemplatesDisplayDlg::CTemplatesDisplayDlg(std::vector<std::string> folders)
    : CChooserPage("templatesPage", "templateTree", kPromptText), folders_(std::move(folders)) {}

void CTemplatesDisplayDlg::Fill() {
  for (const reader::TemplateGroup& file : reader::ReaderData::Current().ListTemplates(folders_)) {
    QTreeWidgetItem* group = file.name ? tree().AddEntry(nullptr, ToQString(*file.name), false) : nullptr;
    for (const reader::TemplateChannel& channel : file.channels) AddChannel(group, channel);
    if (group && group->childCount() > 0) group->setExpanded(true);
  }
}

QTreeWidgetItem* CTemplatesDisplayDlg::AddChannel(QTreeWidgetItem* group, const reader::TemplateChannel& channel) {
  QTreeWidgetItem* item = tree().AddEntry(group, ToQString(channel.title), true);
  item->setData(0, kPositionRole, static_cast<int>(channels_.size()));
  channels_.push_back(channel);
  return item;
}

reader::NewChannel CTemplatesDisplayDlg::Chosen(const QTreeWidgetItem& item, const QString& title) const {
  const reader::TemplateChannel& channel = channels_[item.data(0, kPositionRole).toInt()];
  // A channel without an address becomes an outline at the top, as it always did.
  const std::u16string category = channel.url.empty() ? std::u16string() : ToU16(Tr(u"Others"));
  return {category, ToU16(title), channel.url, channel.script};
}

std::optional<bool> CTemplatesDisplayDlg::Finish() {
  std::vector<reader::NewChannel> chosen;
  for (int i = 0; i < tree().topLevelItemCount(); ++i) {
    const QTreeWidgetItem& top = *tree().topLevelItem(i);
    if (CCheckTreeCtrl::IsChecked(top) && top.data(0, kPositionRole).isValid())
      chosen.push_back(Chosen(top, top.text(0)));
    for (int c = 0; c < top.childCount(); ++c) {
      const QTreeWidgetItem& child = *top.child(c);
      if (CCheckTreeCtrl::IsChecked(child) && child.data(0, kPositionRole).isValid())
        chosen.push_back(Chosen(child, top.text(0) + " - " + child.text(0)));
    }
  }
  const auto added = AddChannels(this, chosen);
  if (!added) return std::nullopt;
  return AnyAdded(*added);
}

}  // namespace wrenly::ui
