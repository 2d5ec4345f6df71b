// The category editor. In its edit mode the user creates, renames and
// deletes categories, each change going to the catalog at once; in its
// choose mode the user picks the category a channel moves to, and the page
// closes with kResultOk and the chosen name, or with kResultCancel.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

#include "ui/frame/page.h"

class QLabel;
class QPushButton;

namespace wrenly::ui {

class CCategoryEditDlg : public CPage {
  Q_OBJECT

 public:
  enum Mode { kEdit = 0, kChoose = 1 };

  // names: the categories in order. The edit mode changes the catalog
  // through the reader library; the choose mode changes nothing.
  CCategoryEditDlg(Mode mode, const std::vector<std::u16string>& names);
  ~CCategoryEditDlg() override;

  const std::u16string& chosen() const { return chosen_; }
  QListWidget& list() { return *list_; }
  bool OnCommand(int command) override;
  void OnBack() override;
  void Retranslate() override;
  int DeleteCommand() const override { return mode_ == kEdit ? kDeleteCommand : 0; }

  // The three commands of the edit mode (also the buttons' actions).
  void NewCategory();
  void RenameCategory();
  void DeleteCategory();

 private:
  static constexpr int kDeleteCommand = 1012;
  void EditEnded();
  void CommitEdit(QListWidgetItem* item);

  const Mode mode_;
  QLabel* heading_;
  QLabel* prompt_;
  QPushButton* new_;
  QPushButton* rename_;
  QPushButton* delete_;
  QListWidget* list_;
  std::u16string chosen_;
  // The running in-place edit: a new category, or the rename of oldName_.
  QListWidgetItem* editing_ = nullptr;
  bool editingNew_ = false;
  std::u16string oldName_;
};

}  // namespace wrenly::ui
