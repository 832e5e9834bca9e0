// protocol_NSUIControlCellDelegate: what a control's cell may ask its delegate. The one
// operation is optional: the default answers nothing (nullopt) and the cell shows its own
// text for the value.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

class protocol_NSUIControlCellDelegate {
public:
    // The text the cell shows for its value (controlCell:descriptionForValue:).
    virtual std::optional<QString> controlCell(QObject *cell, const QVariant &value);

protected:
    protocol_NSUIControlCellDelegate() = default;
    virtual ~protocol_NSUIControlCellDelegate() = default;
};

bool import_protocol_NSUIControlCellDelegate();
