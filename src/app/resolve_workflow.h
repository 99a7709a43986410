#pragma once

class QLabel;
class QLineEdit;
class QTreeWidget;
class QWidget;

namespace corvelle {

class MessageBox;
class ShareResolver;

// The controls of the main window that one resolution reads and writes.
struct ResolveControls {
  QWidget* window = nullptr;
  QLineEdit* url = nullptr;            // Txt_url
  QLineEdit* password = nullptr;       // Txt_Pwd
  QLineEdit* captchaAnswer = nullptr;  // Txt_vcode
  QLabel* captchaImage = nullptr;      // Imgbox_vcode
  QTreeWidget* results = nullptr;      // lst_Info
};

enum class ResolveOutcome {
  Finished,    // the run is over and the window is as the run left it
  WindowGone,  // the window closed during the captcha wait; nothing of it was touched afterwards
};

// One press of Parse: loads the share, asks for the download link, takes the user through one captcha
// turn when the service demands it, and appends the resolved file as a row of the result list.
// Synchronous: it returns when the run is over.
ResolveOutcome RunResolveWorkflow(ShareResolver& resolver, MessageBox& messages,
                                  const ResolveControls& controls);

}  // namespace corvelle
