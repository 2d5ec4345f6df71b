#include "ui/wizard/opml_display_dlg.h"

#include "reader/reader_data.h"
#include "ui/frame/tr.h"
#include "ui/wizard/add_channels.h"

namespace wrenly::ui {

namespace {
constexpr int kUrlRole = Qt::UserRole + 1;
constexpr char16_t kPromptText[] = u"Choose the channels to add:";
}  // namespace

COpmlDisplayDlg::COpmlDisplayDlg(std::string path)
    : CChooserPage("opmlPage", "opmlTree", kPromptText),
      path_(path.empty() ? reader::ReaderData::Current().SampleChannelsPath() : std::move(path)) {}

void COpmlDisplayDlg::Fill() {
  // A missing or unreadable file shows an empty tree.
  const auto entries = reader::ReaderData::ReadOpml(path_);
  for (const OpmlEntry& top : entries.value_or(std::vector<OpmlEntry>{})) {
    QTreeWidgetItem* item = tree().AddEntry(nullptr, ToQString(top.text), !top.url.empty());
    item->setData(0, kUrlRole, ToQString(top.url));
    for (const OpmlEntry& child : top.children) {
      QTreeWidgetItem* sub = tree().AddEntry(item, ToQString(child.text), true);
      sub->setData(0, kUrlRole, ToQString(child.url));
    }
    if (!top.children.empty()) item->setExpanded(true);
  }
}

std::optional<bool> COpmlDisplayDlg::Finish() {
  const std::u16string others = ToU16(Tr(u"Others"));
  std::vector<reader::NewChannel> chosen;
  // A checked top-level entry without an address is a category to make.
  const auto add = [&](std::u16string_view category, const QTreeWidgetItem& item, bool channel) {
    const std::u16string url = ToU16(item.data(0, kUrlRole).toString());
    if (channel && url.empty()) return;
    chosen.push_back({std::u16string(category), ToU16(item.text(0)), url, std::nullopt});
  };
  for (int i = 0; i < tree().topLevelItemCount(); ++i) {
    const QTreeWidgetItem& top = *tree().topLevelItem(i);
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
  const auto added = AddChannels(this, chosen);
  if (!added) return std::nullopt;
  return AnyAdded(*added);
}

}  // namespace wrenly::ui
