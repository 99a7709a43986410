#include "app/result_list.h"

#include <QHeaderView>
#include <QStringList>
#include <QTreeWidget>
#include <array>

#include "app/qt_text.h"

namespace corvelle {
namespace {

struct Column {
  const char16_t* title;
  int width;
};

constexpr std::array<Column, 4> kColumns{{
    {u"文件名", 120},
    {u"文件大小", 80},
    {u"MD5", 100},
    {u"下载地址", 220},
}};

}  // namespace

void SetUpResultList(QTreeWidget& list) {
  list.setColumnCount(static_cast<int>(kColumns.size()));
  QStringList titles;
  for (const Column& column : kColumns) titles << QString::fromUtf16(column.title);
  list.setHeaderLabels(titles);
  // Fixed widths, as laid out; a stretching last column would silently change the link column's width.
  list.header()->setStretchLastSection(false);
  list.header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int index = 0; index < static_cast<int>(kColumns.size()); ++index) {
    list.setColumnWidth(index, kColumns[static_cast<std::size_t>(index)].width);
  }
  // Report style: flat rows, no tree decoration, whole rows selected, several at a time.
  list.setRootIsDecorated(false);
  list.setItemsExpandable(false);
  list.setUniformRowHeights(true);
  list.setAllColumnsShowFocus(true);
  list.setSelectionMode(QAbstractItemView::ExtendedSelection);
  list.setSelectionBehavior(QAbstractItemView::SelectRows);
}

void AddResultRow(QTreeWidget& list, const FileEntry& entry) {
  auto* row = new QTreeWidgetItem(QStringList{ToQString(entry.file_name), QString::number(entry.size),
                                              ToQString(entry.md5), ToQString(entry.dlink)});
  list.addTopLevelItem(row);
}

QString FirstSelectedLink(const QTreeWidget& list) {
  // selectedItems() lists rows in the order they were selected; the lowest index is wanted.
  for (int index = 0; index < list.topLevelItemCount(); ++index) {
    const QTreeWidgetItem* row = list.topLevelItem(index);
    if (row->isSelected()) return row->text(kLinkColumn);
  }
  return {};
}

}  // namespace corvelle
