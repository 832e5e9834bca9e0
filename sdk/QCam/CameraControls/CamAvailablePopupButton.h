// CamAvailablePopupButton: the pop-up of available sources. Entries at fixed positions:
// index 1 the available item, index 3 the first source item; source items follow from
// index 4. An entry's tag (Qt::UserRole) names what it opens: a non-zero tag opens the
// resource named by the entry's title, tag 0 the camera (or black without one).
//
// Each entry can carry a target (kTargetRole, a QObject) and an action (kActionRole, a
// selector name); choosing the entry sends its action to its target with the pop-up.
// awakeFromNib copies the first source item's target and action to every later entry that
// is not a separator.
#pragma once

#include <QComboBox>

class CamAvailablePopupButton : public QComboBox {
    Q_OBJECT

public:
    enum : int { kCamAvail_AvailableItem = 1, kCamAvail_FirstItem = 3 };
    static constexpr int kTagRole = Qt::UserRole;
    static constexpr int kTargetRole = Qt::UserRole + 1;
    static constexpr int kActionRole = Qt::UserRole + 2;

    explicit CamAvailablePopupButton(QWidget *parent = nullptr);

    // The entry's index, or -1 (reported) when missing.
    int availableMenuItem() const;
    int firstSourceItem() const;
    Q_INVOKABLE void awakeFromNib();

    int tagAt(int index) const;
    bool isSeparatorAt(int index) const;
    // Sends the entry's action to its target with this pop-up (nothing without one).
    void performItemAction(int index);
};
