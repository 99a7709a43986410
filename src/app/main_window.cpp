#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QTreeWidget>
#include <QWindow>

#include "app/message_box.h"
#include "app/qt_text.h"
#include "app/result_list.h"
#include "resolver/service_origin.h"

namespace corvelle {
namespace {

// The form's own placement; the window is created from it and then made 20 pixels shorter.
constexpr QRect kFormGeometry{50, 50, 557, 431};
constexpr int kCreatedShrink = 20;

// A share on the service's host, so that a first press of Parse has something to resolve. It follows
// the service origin, so it names the open sample share of the simulated service when that replaces
// the real one.
constexpr char kSampleSharePath[] = "/s/1CorvelleOpen";

// The menu item's offset from the mouse, so the pointer does not rest on the first item.
constexpr QPoint kMenuOffset{3, 3};

// Every control is a child of the window, placed in client coordinates and named as laid out.
template <typename Control>
Control* Place(QWidget* parent, const char16_t* name, const QRect& geometry, const char16_t* caption = u"") {
  auto* control = new Control(parent);
  control->setObjectName(QString::fromUtf16(name));
  control->setGeometry(geometry);
  if constexpr (requires { control->setText(QString()); }) control->setText(QString::fromUtf16(caption));
  return control;
}

}  // namespace

MainWindow::MainWindow(ShareResolver& resolver, MessageBox& messages)
    : resolver_(resolver), messages_(messages) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("Corvelle"));
  BuildControls();
  PlaceAsForm();
  OnCreated();
}

void MainWindow::PlaceAsForm() {
  // The form's size is the outer size, frame included. The frame is known once the platform window
  // exists (where a window manager adds it later, it comes on top).
  create();
  const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
  resize(kFormGeometry.size().shrunkBy(frame));
  move(kFormGeometry.topLeft());  // a top-level window's position is that of its frame
}

void MainWindow::BuildControls() {
  controls_.window = this;
  Place<QLabel>(this, u"标签1", {8, 8, 56, 24}, u"下载地址:");
  controls_.url = Place<QLineEdit>(this, u"Txt_url", {72, 8, 248, 24});
  controls_.url->setText(ToQString(ServiceOrigin() + kSampleSharePath));
  controls_.url->setCursorPosition(0);  // show the link from its start
  Place<QLabel>(this, u"标签2", {8, 40, 56, 24}, u"密码:");
  controls_.password = Place<QLineEdit>(this, u"Txt_Pwd", {72, 40, 88, 24});
  controls_.password->setAlignment(Qt::AlignCenter);
  controls_.password->setEchoMode(QLineEdit::Normal);
  Place<QLabel>(this, u"标签3", {8, 72, 64, 24}, u"验证码:");
  controls_.captchaAnswer = Place<QLineEdit>(this, u"Txt_vcode", {72, 72, 88, 24});
  controls_.captchaImage = Place<QLabel>(this, u"Imgbox_vcode", {168, 40, 152, 56});
  controls_.captchaImage->setAlignment(Qt::AlignCenter);

  auto* parse = Place<QPushButton>(this, u"Btn_parse", {352, 8, 96, 32}, u"解析");
  connect(parse, &QPushButton::clicked, this, &MainWindow::OnParseClicked);
  auto* about = Place<QPushButton>(this, u"Btn_about", {352, 56, 96, 32}, u"关于");
  connect(about, &QPushButton::clicked, this, &MainWindow::OnAboutClicked);

  controls_.results = Place<QTreeWidget>(this, u"lst_Info", {8, 104, 536, 272});
  SetUpResultList(*controls_.results);
  // The list's own right-click notification, on a row or on empty space alike.
  controls_.results->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(controls_.results, &QWidget::customContextMenuRequested, this, &MainWindow::OnResultsContextMenu);

  menu_ = new QMenu(QStringLiteral("Menu"), this);
  menu_->setObjectName(QStringLiteral("Menu"));
  QAction* copyLink = menu_->addAction(QStringLiteral("复制链接"));
  connect(copyLink, &QAction::triggered, this, &MainWindow::OnCopyLink);
}

void MainWindow::OnCreated() {
  resize(width(), height() - kCreatedShrink);
}

void MainWindow::OnParseClicked() {
  // A press while a run waits for its captcha is refused rather than nested: a nested run would fetch
  // its own captcha into the same resolver and answer box, and the outer run would then send the wrong
  // answer under the inner captcha's id.
  if (resolving_) return;
  resolving_ = true;
  QPointer<MainWindow> self(this);
  if (RunResolveWorkflow(resolver_, messages_, controls_) == ResolveOutcome::WindowGone || !self) return;
  resolving_ = false;
}

// The About box names the web address of the service this window resolves links of.
void MainWindow::OnAboutClicked() {
  messages_.Show(this, QStringLiteral("Message"), ToQString(ServiceOrigin() + "/"));
}

void MainWindow::OnResultsContextMenu(const QPoint& position) {
  // The list reports the position in its viewport's coordinates.
  menu_->popup(controls_.results->viewport()->mapToGlobal(position) + kMenuOffset);
}

void MainWindow::OnCopyLink() {
  QGuiApplication::clipboard()->setText(FirstSelectedLink(*controls_.results));
}

int RunMainWindow(ShareResolver& resolver, MessageBox& messages) {
  MainWindow window(resolver, messages);
  window.show();
  return QApplication::exec();
}

}  // namespace corvelle
