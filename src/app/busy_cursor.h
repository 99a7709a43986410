#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace corvelle {

// Requests run synchronously on the window's thread; a busy cursor for their duration tells the user
// the window is not hung.
class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace corvelle
