// The frame shared by the wizard's two choosers: a heading, a prompt and a
// check tree that the chooser fills just after the page shows, behind a
// loading text. "Back" returns to the first page; "Finish" adds what is
// checked and ends the wizard, unless nothing could be changed (the page
// stays then). GUI thread only.
#pragma once

#include <optional>
#include <string_view>

#include "ui/wizard/check_tree.h"
#include "ui/wizard/wizard_page.h"

namespace wrenly::ui {

class CChooserPage : public CWizardPage {
  Q_OBJECT

 public:
  void SetKeys(CSoftKeyBar& keys) override;
  bool OnCommand(int command) override;
  void Retranslate() override;
  CCheckTreeCtrl& tree() { return *tree_; }

 signals:
  // The tree is filled and shows.
  void loaded();

 protected:
  // prompt: the English text above the tree (kept; shown translated).
  CChooserPage(const char* objectName, const char* treeName, std::u16string_view prompt);
  // Fills the tree (its updates are off meanwhile).
  virtual void Fill() = 0;
  // Adds the checked entries: whether something was added; nothing when
  // the catalog refused the whole and the page stays.
  virtual std::optional<bool> Finish() = 0;

 private:
  void Load();

  std::u16string_view promptText_;
  QLabel* heading_;
  QLabel* prompt_;
  QLabel* loading_;
  CCheckTreeCtrl* tree_;
};

}  // namespace wrenly::ui
