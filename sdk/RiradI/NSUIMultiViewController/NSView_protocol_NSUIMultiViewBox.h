// NSView(protocol_NSUIMultiViewBox): the title of any view as a page of multi-view switching.
//
// A view whose class gives its own title answers that: a client view
// (NSUIMultiViewClientProtocol), else a view with a readable "multiViewTitle" property (the
// nibbler, the multi-view holders). Any other view answers its tool tip when it has one, else
// "view_id:%08lx\n" with its address: a text unique per view that ends in a line feed.
#pragma once

#include <QObject>
#include <QString>

namespace protocol_NSUIMultiViewBox {

// The title as described; null for a null view.
QString multiViewTitle(const QObject *view);
// The title of the view as a plain view (tool tip, else the view_id text), whatever its class.
QString plainViewTitle(const QObject *view);

}  // namespace protocol_NSUIMultiViewBox

bool import_NSView_protocol_NSUIMultiViewBox();
