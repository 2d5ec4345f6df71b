// One page of the New Channel Wizard: content that fills the wizard, the two
// soft keys it wants while it shows, and its commands. A page tells the
// wizard it is done with `done`: forward (Next or Finish) or not (Cancel or
// Back), and for Finish whether it added anything. GUI thread only.
#pragma once

#include <QLabel>
#include <QWidget>

#include "ui/frame/soft_key_bar.h"

namespace wrenly::ui {

class CWizardPage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  virtual void SetKeys(CSoftKeyBar& keys) = 0;
  virtual bool OnCommand(int command) = 0;
  virtual void Retranslate() = 0;

 signals:
  void done(bool forward, bool added);
};

// The widest a page of fields gets: about 90 characters of the widget's
// font, so that fields and lists do not stretch across a wide window.
int FormMaxWidth(const QWidget& widget);

// The wizard's large heading.
QLabel* MakeHeading(QWidget* parent, const char* objectName);

}  // namespace wrenly::ui
