#include "ui/channels/category_edit_dlg.h"

#include <QAbstractItemDelegate>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "platform/text.h"
#include "reader/reader_data.h"
#include "ui/channels/refusal_box.h"
#include "ui/frame/commands.h"
#include "ui/frame/dialogs.h"
#include "ui/frame/pictures.h"
#include "ui/frame/tr.h"

namespace wrenly::ui {

CCategoryEditDlg::CCategoryEditDlg(Mode mode, const std::vector<std::u16string>& names)
    : mode_(mode),
      heading_(new QLabel(this)),
      prompt_(new QLabel(this)),
      new_(new QPushButton(this)),
      rename_(new QPushButton(this)),
      delete_(new QPushButton(this)),
      list_(new QListWidget(this)) {
  setObjectName("categoryEditor");
  heading_->setObjectName("heading");
  prompt_->setObjectName("prompt");
  new_->setObjectName("newButton");
  rename_->setObjectName("renameButton");
  delete_->setObjectName("deleteButton");
  list_->setObjectName("categoryList");
  QFont bold = heading_->font();
  bold.setBold(true);
  heading_->setFont(bold);
  heading_->setMinimumHeight(static_cast<int>(28 * Density(this)));
  heading_->setContentsMargins(8, 0, 8, 0);
  prompt_->setWordWrap(true);
  prompt_->setContentsMargins(8, 4, 8, 4);

  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(6, 4, 6, 4);
  for (QPushButton* button : {new_, rename_, delete_}) buttons->addWidget(button);
  body().addWidget(heading_);
  body().addLayout(buttons);
  body().addWidget(prompt_);
  body().addWidget(list_, 1);

  const bool edit = mode == kEdit;
  for (QPushButton* button : {new_, rename_, delete_}) button->setVisible(edit);
  prompt_->setVisible(!edit);
  list_->setEditTriggers(edit ? QAbstractItemView::EditKeyPressed : QAbstractItemView::NoEditTriggers);
  const QIcon icon = CategoryIconFor(CategoryIcon::kCategory);
  for (const std::u16string& name : names) {
    auto* item = new QListWidgetItem(icon, ToQString(name), list_);
    if (edit) item->setFlags(item->flags() | Qt::ItemIsEditable);
  }
  if (list_->count() > 0) {
    list_->setCurrentRow(0);
    chosen_ = names.front();
  }
  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item != nullptr) chosen_ = ToU16(item->text());
  });
  connect(list_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, &CCategoryEditDlg::EditEnded);
  connect(new_, &QPushButton::clicked, this, &CCategoryEditDlg::NewCategory);
  connect(rename_, &QPushButton::clicked, this, &CCategoryEditDlg::RenameCategory);
  connect(delete_, &QPushButton::clicked, this, &CCategoryEditDlg::DeleteCategory);
  Retranslate();
}

CCategoryEditDlg::~CCategoryEditDlg() {
  // An editor still open closes while the list is destroyed, after this
  // object's members are gone: its end must not reach EditEnded.
  disconnect(list_->itemDelegate(), nullptr, this, nullptr);
}

void CCategoryEditDlg::Retranslate() {
  const bool edit = mode_ == kEdit;
  heading_->setText(Tr(edit ? u"Add/Delete Categories" : u"Change Category"));
  prompt_->setText(Tr(u"Choose the new category for this channel:"));
  new_->setText(Tr(u"New"));
  rename_->setText(Tr(u"Rename"));
  delete_->setText(Tr(u"Delete"));
  softKeys().SetLeft(Tr(u"OK"), cmd::kFinish);
  softKeys().SetRight(edit ? QString() : Tr(u"Cancel"), edit ? 0 : cmd::kCancel);
}

bool CCategoryEditDlg::OnCommand(int command) {
  switch (command) {
    case cmd::kFinish: Close(kResultOk); return true;
    case cmd::kCancel: Close(kResultCancel); return true;
    case kDeleteCommand: DeleteCategory(); return true;
    default: return false;
  }
}

void CCategoryEditDlg::OnBack() { Close(mode_ == kEdit ? kResultOk : kResultCancel); }

void CCategoryEditDlg::NewCategory() {
  if (mode_ != kEdit) return;
  auto* item = new QListWidgetItem(CategoryIconFor(CategoryIcon::kCategory), Tr(u"New Category"));
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  list_->insertItem(0, item);
  list_->setCurrentItem(item);
  editing_ = item;
  editingNew_ = true;
  list_->setFocus();
  list_->editItem(item);
}

void CCategoryEditDlg::RenameCategory() {
  QListWidgetItem* item = list_->currentItem();
  if (mode_ != kEdit || item == nullptr) return;
  editing_ = item;
  editingNew_ = false;
  oldName_ = ToU16(item->text());
  list_->setFocus();
  list_->editItem(item);
}

void CCategoryEditDlg::EditEnded() {
  QListWidgetItem* item = editing_;
  editing_ = nullptr;
  if (item == nullptr) return;
  const QString text = item->text().trimmed();
  if (text.isEmpty()) {
    // A category needs a name: a new row goes, a renamed one keeps its name.
    if (editingNew_)
      delete item;
    else
      item->setText(ToQString(oldName_));
    return;
  }
  item->setText(text);
  const std::u16string name = ToU16(text);
  if (editingNew_)
    ShowIfRefused(this, reader::ReaderData::Current().AddCategory(name));
  else if (name != oldName_)
    ShowIfRefused(this, reader::ReaderData::Current().Rename(oldName_, name));
  chosen_ = name;
}

void CCategoryEditDlg::DeleteCategory() {
  QListWidgetItem* item = list_->currentItem();
  if (mode_ != kEdit || item == nullptr) return;
  if (!ConfirmDelete(this, u"Are you sure you want to delete this category?")) return;
  const std::u16string name = ToU16(item->text());
  delete item;
  ShowIfRefused(this, reader::ReaderData::Current().DeleteCategory(name));
}

}  // namespace wrenly::ui
