#pragma once
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "common/interruption.h"

// For a program's main window: looks for an interruption ten times a second.
// Once one has arrived, every look closes the modal box in front (a question
// is so answered No, a file dialog cancelled) and calls `stop`, which cancels
// what runs or, when nothing does, ends the program.
template <typename Stop>
void WatchInterruptions(QWidget* window, Stop stop) {
  auto* timer = new QTimer(window);
  QObject::connect(timer, &QTimer::timeout, window, [stop] {
    if (!Interrupted()) return;
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    stop();
  });
  timer->start(100);
}
