#pragma once

#include <QTimer>
#include <functional>

#include "MainWindow.h"

// Runs then once the window has nothing under way.
inline void WhenIdle(TForm1& form, std::function<void()> then) {
  QTimer::singleShot(200, [&form, then] {
    if (form.Busy()) {
      WhenIdle(form, then);
    } else {
      then();
    }
  });
}
