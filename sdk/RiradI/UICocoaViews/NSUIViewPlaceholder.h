// NSUIViewPlaceholder: a slot in a nib. When the nib wakes it installs the view its
// installThisView outlet names; later it installs whatever view it is given. Installed views
// are fitted to the placeholder through their size policy (AppKit/NSView.h) and follow its
// size; views installed before stay (whoever switches pages removes the old one first).
#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

class QEvent;

class NSUIViewPlaceholder : public QWidget {
    Q_OBJECT
    // Outlet, not owned: the view to install at wake-up.
    Q_PROPERTY(QWidget *installThisView READ installThisView WRITE setInstallThisView)
public:
    Q_INVOKABLE explicit NSUIViewPlaceholder(QWidget *parent = nullptr);
    ~NSUIViewPlaceholder() override;

    // The set-up hook (only this class's runs from the constructor; see NSUIViewHolder).
    virtual void initViewAttributes();

    QWidget *installThisView() const { return mInstallThisView.data(); }
    void setInstallThisView(QWidget *view) { mInstallThisView = view; }
    QWidget *initialView() const { return installThisView(); }

    // Installs installThisView when it is set.
    Q_INVOKABLE virtual void awakeFromNib();
    // Adds the view as a sub-view fitted to the placeholder (its size policy deciding), and
    // redisplays. A null view is ignored.
    Q_INVOKABLE void installView(QWidget *view);
    // installView with the sender when it is a view; otherwise the failed check is reported
    // and nothing is installed.
    Q_INVOKABLE void installSender(QObject *sender);

    virtual bool acceptsFirstMouse(QEvent *event) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Fits the sub-views to the placeholder's size since they were last fitted.
    void followSize();

    QPointer<QWidget> mInstallThisView;
    QSize mFittedSize;
};

bool import_NSUIViewPlaceholder();
