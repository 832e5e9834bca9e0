// NSUIResetLockBox: a reset box with a lock toggle as the second cell of its row. The
// toggle's own state is the lock.
#pragma once

#include <UICocoaViews/NSUIResetBox.h>

class NSUIResetLockBox : public NSUIResetBox {
    Q_OBJECT
    Q_PROPERTY(bool controlsLocked READ controlsLocked WRITE setControlsLocked)

public:
    explicit NSUIResetLockBox(QWidget *parent = nullptr);
    ~NSUIResetLockBox() override;

    // The reset button first, then the lock toggle ("LockButton", "LockedButton"; action
    // buttonLockControls:).
    void awakeFromNib() override;

    // Nothing before awakeFromNib has made the toggle.
    void setControlsLocked(bool locked);
    bool controlsLocked() const;
    NSButtonCell *lockButton() const { return mLockButton; }

    // The toggle's action: the toggle has already changed the lock.
    Q_INVOKABLE void buttonLockControls(QObject *sender);

private:
    NSButtonCell *mLockButton = nullptr;  // held by the attachments
};

bool import_NSUIResetLockBox();
