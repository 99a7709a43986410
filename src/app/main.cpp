#include <QApplication>

#include "app/main_window.h"
#include "app/message_box.h"
#include "resolver/share_resolver.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("corvelle"));  // ties the window to its desktop entry
  // The one resolver lives from before the window opens until the program ends, so its session's
  // cookies and the scraped identifiers carry over from one press of Parse to the next. Leaving this
  // scope destroys it after the window, its HttpSession first.
  corvelle::ShareResolver resolver;
  corvelle::QtMessageBox messages;
  return corvelle::RunMainWindow(resolver, messages);
}
