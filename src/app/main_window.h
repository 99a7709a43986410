#pragma once

#include <QWidget>

#include "app/resolve_workflow.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPoint;
class QPushButton;
class QTreeWidget;

namespace corvelle {

class MessageBox;
class ShareResolver;

// The program's one window: the share link, password and captcha boxes, the captcha picture, the Parse
// and About buttons and the result list with its copy-link menu. Every control carries its name as its
// object name.
class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  MainWindow(ShareResolver& resolver, MessageBox& messages);

 private:
  void BuildControls();
  void PlaceAsForm();
  void OnCreated();
  void OnParseClicked();
  void OnAboutClicked();
  void OnResultsContextMenu(const QPoint& position);
  void OnCopyLink();

  ShareResolver& resolver_;
  MessageBox& messages_;
  ResolveControls controls_;
  QMenu* menu_ = nullptr;
  bool resolving_ = false;
};

// Shows MainWindow and runs the event loop until no window is left; the loop's exit code (0 when the
// window was closed).
[[nodiscard]] int RunMainWindow(ShareResolver& resolver, MessageBox& messages);

}  // namespace corvelle
