#include "NSStringVersionComparand.h"

#include "NSStringNumberValues.h"

#include <QStringList>

#include <algorithm>

namespace VersionComparandDoubleValue {

double stringVersionComparandDoubleValue(const QString &version) {
    if (version.isEmpty()) return 0.0;
    double value = 0.0;
    for (const QString &component : version.split(QLatin1Char('.')))
        value = value * 100.0 + NSStringNumberValues::stringDoubleValue(component);
    return value;
}

int stringVersionCompare(const QString &left, const QString &right) {
    const QStringList a = left.isEmpty() ? QStringList() : left.split(QLatin1Char('.'));
    const QStringList b = right.isEmpty() ? QStringList() : right.split(QLatin1Char('.'));
    const qsizetype count = std::max(a.size(), b.size());
    for (qsizetype index = 0; index < count; ++index) {
        const double x = index < a.size() ? NSStringNumberValues::stringDoubleValue(a[index]) : 0.0;
        const double y = index < b.size() ? NSStringNumberValues::stringDoubleValue(b[index]) : 0.0;
        if (x < y) return -1;
        if (x > y) return 1;
    }
    return 0;
}

}  // namespace VersionComparandDoubleValue

bool import_NSStringVersionComparand() { return import_NSStringNumberValues(); }
