// NSTableView(Utilities) on QTableView.
#pragma once

class QFont;
class QTableView;

namespace NSTableViewUtilities {

// The font of every data cell; the rows become the font's line height (single precision) + 2
// high, rounded up to whole pixels. The headers keep their own font.
void setFontUtility(QTableView *tableView, const QFont &font);

}  // namespace NSTableViewUtilities

bool import_NSTableView_Utilities();
