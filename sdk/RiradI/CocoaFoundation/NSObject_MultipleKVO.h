// NSObject(MultipleKVO): key-value change announcements for a set of keys at once, for
// objects whose one action changes several observable values (a settings dialog, a channel
// that switches its whole state).
#pragma once

#include <QObject>
#include <QSet>
#include <QString>

namespace MultipleKVO {

// willChangeValueForKey for each key of the set, in the set's enumeration order. An empty
// set or a null object announces nothing.
void willChangeValueForMultipleKeys(QObject *object, const QSet<QString> &keys);
// didChangeValueForKey for each key of the set, in the set's enumeration order.
void didChangeValueForMultipleKeys(QObject *object, const QSet<QString> &keys);

}  // namespace MultipleKVO

bool import_NSObject_MultipleKVO();
