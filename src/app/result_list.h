#pragma once

#include <QString>

#include "resolver/share_records.h"

class QTreeWidget;

namespace corvelle {

// The result list, lst_Info: a report-style list with one row per resolved file and the columns file
// name, size, MD5 and download link.
inline constexpr int kLinkColumn = 3;

void SetUpResultList(QTreeWidget& list);

// Appends one row; the size is written in full as a signed 64-bit decimal, without separators or unit.
void AddResultRow(QTreeWidget& list, const FileEntry& entry);

// The download link of the selected row with the lowest index; empty when no row is selected.
[[nodiscard]] QString FirstSelectedLink(const QTreeWidget& list);

}  // namespace corvelle
