#include "NSTableView_Utilities.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QTableView>

#include <cmath>

namespace NSTableViewUtilities {

void setFontUtility(QTableView *tableView, const QFont &font) {
    if (tableView == nullptr) return;
    const float lineHeight = static_cast<float>(QFontMetricsF(font).lineSpacing());
    const int rowHeight = static_cast<int>(std::ceil(lineHeight + 2.0f));
    QHeaderView *columns = tableView->horizontalHeader();
    QHeaderView *rows = tableView->verticalHeader();
    // The headers' current fonts, made their own so that they no longer follow the view's.
    QFont columnsFont = columns->font();
    columnsFont.setResolveMask(QFont::AllPropertiesResolved);
    QFont rowsFont = rows->font();
    rowsFont.setResolveMask(QFont::AllPropertiesResolved);
    tableView->setFont(font);
    columns->setFont(columnsFont);
    rows->setFont(rowsFont);
    if (rows->minimumSectionSize() > rowHeight) rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight);
    for (int row = 0; row < rows->count(); ++row) tableView->setRowHeight(row, rowHeight);
}

}  // namespace NSTableViewUtilities

bool import_NSTableView_Utilities() { return true; }
