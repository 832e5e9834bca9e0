#include "NSObject_MultipleKVO.h"

#include <Foundation/NSKeyValueCoding.h>

namespace MultipleKVO {

void willChangeValueForMultipleKeys(QObject *object, const QSet<QString> &keys) {
    if (object == nullptr) return;
    for (const QString &key : keys) NSKeyValueCoding::willChangeValueForKey(object, key);
}

void didChangeValueForMultipleKeys(QObject *object, const QSet<QString> &keys) {
    if (object == nullptr) return;
    for (const QString &key : keys) NSKeyValueCoding::didChangeValueForKey(object, key);
}

}  // namespace MultipleKVO

bool import_NSObject_MultipleKVO() { return true; }
