// The frame of the option pages: a heading, the page's form, and the soft
// keys "Cancel" and "OK". OK stores the page's values (Save) and closes with
// kResultOk; Cancel and the back action store nothing.
#pragma once

#include <QFormLayout>
#include <QLabel>

#include "ui/frame/page.h"

namespace wrenly::ui {

namespace cmd {
constexpr int kOk = 1;
}

class COptionPage : public CPage {
  Q_OBJECT

 public:
  explicit COptionPage(const char* objectName);
  bool OnCommand(int command) override;
  void Retranslate() override;

 protected:
  // The page's own controls go here, under the heading.
  QVBoxLayout& form() { return *form_; }
  virtual std::u16string_view HeadingText() const = 0;
  virtual void RetranslateForm() = 0;
  // Stores the values; false keeps the page open.
  virtual bool Save() = 0;

 private:
  QLabel* heading_;
  QVBoxLayout* form_;
};

}  // namespace wrenly::ui
