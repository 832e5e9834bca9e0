#include "protocol_NSUIControlCellDelegate.h"

std::optional<QString> protocol_NSUIControlCellDelegate::controlCell(QObject *, const QVariant &) {
    return std::nullopt;
}

bool import_protocol_NSUIControlCellDelegate() { return true; }
