#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <ostream>
#include <string>
#include <vector>

#include "app/qt_text.h"
#include "app/result_list.h"
#include "app/window_fixture.h"
#include "resolver/service_origin.h"

namespace corvelle::test {
namespace {

struct ControlRow {
  const char* testName;
  const char16_t* name;
  const char* kind;  // the Qt class standing in for the control
  QRect geometry;
  const char16_t* text;  // nullptr where the control has no text of its own
};

void PrintTo(const ControlRow& row, std::ostream* out) {
  *out << QString::fromUtf16(row.name).toStdString() << " " << row.kind;
}

const std::vector<ControlRow> kControls = {
    {"Label1", u"标签1", "QLabel", {8, 8, 56, 24}, u"下载地址:"},
    {"TxtUrl", u"Txt_url", "QLineEdit", {72, 8, 248, 24}, nullptr},
    {"Label2", u"标签2", "QLabel", {8, 40, 56, 24}, u"密码:"},
    {"TxtPwd", u"Txt_Pwd", "QLineEdit", {72, 40, 88, 24}, u""},
    {"Label3", u"标签3", "QLabel", {8, 72, 64, 24}, u"验证码:"},
    {"TxtVcode", u"Txt_vcode", "QLineEdit", {72, 72, 88, 24}, u""},
    {"ImgboxVcode", u"Imgbox_vcode", "QLabel", {168, 40, 152, 56}, u""},
    {"BtnParse", u"Btn_parse", "QPushButton", {352, 8, 96, 32}, u"解析"},
    {"BtnAbout", u"Btn_about", "QPushButton", {352, 56, 96, 32}, u"关于"},
    {"LstInfo", u"lst_Info", "QTreeWidget", {8, 104, 536, 272}, nullptr},
};

QString TextOf(const QWidget& control) {
  if (const auto* label = qobject_cast<const QLabel*>(&control)) return label->text();
  if (const auto* edit = qobject_cast<const QLineEdit*>(&control)) return edit->text();
  if (const auto* button = qobject_cast<const QPushButton*>(&control)) return button->text();
  return {};
}

class AppControlTest : public WindowFixture, public ::testing::WithParamInterface<ControlRow> {};

TEST_P(AppControlTest, HasItsKindPlaceSizeAndText) {
  const ControlRow& row = GetParam();
  auto* control = Find<QWidget>(row.name);
  ASSERT_NE(control, nullptr);
  EXPECT_STREQ(control->metaObject()->className(), row.kind);
  EXPECT_EQ(control->parentWidget(), window_.get());
  EXPECT_EQ(control->geometry(), row.geometry);
  if (row.text != nullptr) {
    EXPECT_EQ(TextOf(*control), QString::fromUtf16(row.text));
  }
}

INSTANTIATE_TEST_SUITE_P(AppLayout, AppControlTest, ::testing::ValuesIn(kControls),
                         [](const ::testing::TestParamInfo<ControlRow>& info) {
                           return info.param.testName;
                         });

using AppMainWindowTest = WindowFixture;

TEST_F(AppMainWindowTest, OpensAtItsPlaceTwentyPixelsShorterThanTheForm) {
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Corvelle"));
  EXPECT_EQ(window_->frameGeometry().topLeft(), QPoint(50, 50));
  EXPECT_EQ(window_->frameGeometry().size(), QSize(557, 411));
}

TEST_F(AppMainWindowTest, PasswordIsCentredAndShownAsTyped) {
  auto* password = Find<QLineEdit>(u"Txt_Pwd");
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(password->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
}

TEST_F(AppMainWindowTest, OffersASampleShareOnTheServiceHost) {
  auto* url = Find<QLineEdit>(u"Txt_url");
  ASSERT_NE(url, nullptr);
  const QString prefix = ToQString(ServiceOrigin() + "/s/1");
  EXPECT_TRUE(url->text().startsWith(prefix)) << url->text().toStdString();
  EXPECT_GT(url->text().size(), prefix.size());
}

TEST_F(AppMainWindowTest, ResultListHasFourTitledColumnsOfFixedWidth) {
  auto* list = Find<QTreeWidget>(u"lst_Info");
  ASSERT_NE(list, nullptr);
  const std::vector<std::pair<QString, int>> expected = {{QStringLiteral("文件名"), 120},
                                                         {QStringLiteral("文件大小"), 80},
                                                         {QStringLiteral("MD5"), 100},
                                                         {QStringLiteral("下载地址"), 220}};
  ASSERT_EQ(list->columnCount(), 4);
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(list->headerItem()->text(column), expected[static_cast<std::size_t>(column)].first);
    EXPECT_EQ(list->header()->sectionSize(column), expected[static_cast<std::size_t>(column)].second);
  }
  EXPECT_FALSE(list->rootIsDecorated());
  EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(AppMainWindowTest, AboutShowsOneBoxTitledMessageWithAWebAddress) {
  auto* about = Find<QPushButton>(u"Btn_about");
  ASSERT_NE(about, nullptr);
  about->click();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].caption, QStringLiteral("Message"));
  const QUrl address(messages_.shown[0].text, QUrl::StrictMode);
  EXPECT_TRUE(address.isValid());
  EXPECT_TRUE(address.scheme().startsWith(QStringLiteral("http")));
}

// Right-clicks the list's empty space or a row, as the list's viewport would receive it, and chooses
// the menu's one item.
class AppCopyLinkTest : public WindowFixture {
 protected:
  QTreeWidget* List() { return Find<QTreeWidget>(u"lst_Info"); }

  void AddRows(int count) {
    for (int index = 0; index < count; ++index) {
      FileEntry entry;
      entry.file_name = "file" + std::to_string(index);
      entry.dlink = "https://d.example/" + std::to_string(index);
      AddResultRow(*List(), entry);
    }
  }

  QMenu* RightClick() {
    QWidget* viewport = List()->viewport();
    const QPoint position(20, viewport->height() - 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, position, viewport->mapToGlobal(position));
    QApplication::sendEvent(viewport, &event);
    return window_->findChild<QMenu*>(QStringLiteral("Menu"));
  }

  QString CopyThroughMenu() {
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    QMenu* menu = RightClick();
    EXPECT_NE(menu, nullptr);
    if (menu == nullptr) return QStringLiteral("no menu");
    EXPECT_TRUE(menu->isVisible());
    const QList<QAction*> items = menu->actions();
    EXPECT_EQ(items.size(), 1);
    if (items.size() != 1) return QStringLiteral("no item");
    EXPECT_EQ(items[0]->text(), QStringLiteral("复制链接"));
    EXPECT_TRUE(items[0]->isEnabled());
    EXPECT_FALSE(items[0]->isCheckable());
    items[0]->trigger();
    menu->close();
    return QGuiApplication::clipboard()->text();
  }
};

TEST_F(AppCopyLinkTest, MenuOnEmptyListCopiesEmptyText) {
  EXPECT_EQ(CopyThroughMenu(), QString());
}

struct SelectionRow {
  const char* name;
  int rows;
  std::vector<int> selectedInOrder;
  const char* link;
};

void PrintTo(const SelectionRow& row, std::ostream* out) {
  *out << row.name;
}

const std::vector<SelectionRow> kSelections = {
    {"NoneSelected", 3, {}, ""},
    {"OneSelected", 3, {1}, "https://d.example/1"},
    {"SeveralTakeTheLowestIndex", 3, {2, 0}, "https://d.example/0"},
};

class AppCopyLinkSelectionTest : public AppCopyLinkTest,
                                 public ::testing::WithParamInterface<SelectionRow> {};

TEST_P(AppCopyLinkSelectionTest, CopiesLinkOfFirstSelectedRow) {
  const SelectionRow& row = GetParam();
  AddRows(row.rows);
  for (int index : row.selectedInOrder) List()->topLevelItem(index)->setSelected(true);
  EXPECT_EQ(CopyThroughMenu(), QString::fromUtf8(row.link));
}

INSTANTIATE_TEST_SUITE_P(AppSelections, AppCopyLinkSelectionTest, ::testing::ValuesIn(kSelections),
                         [](const ::testing::TestParamInfo<SelectionRow>& info) { return info.param.name; });

}  // namespace
}  // namespace corvelle::test
