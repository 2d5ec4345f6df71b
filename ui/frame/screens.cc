#include "ui/frame/screens.h"

namespace wrenly::ui {

ScreenFactory& Screens() {
  static ScreenFactory screens;
  return screens;
}

}  // namespace wrenly::ui
