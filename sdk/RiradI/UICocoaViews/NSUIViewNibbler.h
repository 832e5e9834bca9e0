// NSUIViewNibbler: a view that loads a nib of its own.
//
// Placed in a host nib (or made in code), it loads, once, the nib named after its class
// (":/nibs/<ClassName>.ui", see AppKit/NSNib.h) with itself as the nib's owner, takes the view
// the nib connects to its nibblerView outlet and installs it as its own sub-view, fitted to its
// bounds by the view's size policy.
//
// The order of the hooks:
//   1. The constructor. Nothing is loaded. A subclass sets up its locks and default state in
//      its own constructor. In a host nib the host's properties and outlets are then set.
//   2. awakeFromNib (from the host nib, or sent by code): while constructed is 0 it runs
//      constructWithDefaultNibName, which loads the nib: the nib's objects are made, its
//      outlets into the nibbler are connected, the nib sends awakeFromNib to its objects (a
//      nibbler among them constructs itself now, in the same order) and then to the nibbler,
//      which, constructed, runs awakeFromNibbler. Then the sub-view is installed.
//   3. Any later awakeFromNib runs awakeFromNibbler only.
// constructed counts the loads begun, so a failed load is not tried again. A nib that is
// missing, cannot be read or does not set nibblerView leaves the nibbler an empty view.
//
// Class operations that subclasses override (+classNibName,
// +shouldInstantiateOnThisVersionOfOSX) are virtual members here. Outlets are not owned: they
// become null when their object goes. The nib's top-level objects belong to the nibbler.
// nibblerSubView is another name of nibblerView; both properties share one NOTIFY signal, so
// observers of either hear of changes of the other.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <optional>

class QEvent;

class NSUIViewNibbler : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate NOTIFY delegateChanged)
    Q_PROPERTY(QObject *nibblerModel READ nibblerModel WRITE setNibblerModel NOTIFY nibblerModelChanged)
    Q_PROPERTY(QWidget *nibblerView READ nibblerView WRITE setNibblerView NOTIFY nibblerViewChanged)
    Q_PROPERTY(QWidget *nibblerSubView READ nibblerSubView WRITE setNibblerSubView NOTIFY nibblerViewChanged)
    Q_PROPERTY(QObject *nibblerController READ nibblerController WRITE setNibblerController NOTIFY
                   nibblerControllerChanged)
    Q_PROPERTY(QString defaultNibName READ defaultNibName WRITE setDefaultNibName)
    Q_PROPERTY(uint constructed READ constructed WRITE setConstructed)
    Q_PROPERTY(QString multiViewTitle READ multiViewTitle CONSTANT)

public:
    Q_INVOKABLE explicit NSUIViewNibbler(QWidget *parent = nullptr);
    // Deletes the nib's top-level objects that still exist, then clears the outlets.
    ~NSUIViewNibbler() override;

    // The nib of this class: the class's own name; a subclass overrides to load another nib.
    virtual QString classNibName() const;
    QString classDefaultNibName() const { return classNibName(); }
    // True; a subclass answers false to keep its nib from loading.
    virtual bool shouldInstantiateOnThisVersionOfOSX() const;

    // The nib to load: the one set, else classDefaultNibName. A null string set here means
    // no nib.
    QString defaultNibName() const;
    void setDefaultNibName(const QString &name) { mDefaultNibName = name; }

    // constructWithDefaultNibName while constructed is 0, else awakeFromNibbler.
    Q_INVOKABLE virtual void awakeFromNib();
    // Runs while the nibbler's own nib is being loaded, after its outlets are connected and
    // before the sub-view is installed (and at every later awakeFromNib). The base does nothing.
    virtual void awakeFromNibbler();

    // Loads the default nib and installs the sub-view; stops at the first step that fails.
    Q_INVOKABLE void constructWithDefaultNibName();
    // Loads the nib with the nibbler as owner and keeps its top-level objects. True when it
    // loaded and set nibblerView. An NSException while loading is logged
    // ("NSUIViewNibbler::instantiateObjectGraphWithNibName:<name> exception:<exception>").
    bool instantiateObjectGraphWithNibName(const QString &name);
    // Adds nibblerSubView, fitted to the nibbler; false when there is none.
    // Subclasses that set their panel up once it is installed extend it.
    virtual bool installNibblerSubView();

    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate);
    QObject *nibblerModel() const { return mNibblerModel.data(); }
    void setNibblerModel(QObject *model);
    QWidget *nibblerView() const { return mNibblerView.data(); }
    void setNibblerView(QWidget *view);
    QWidget *nibblerSubView() const { return nibblerView(); }
    void setNibblerSubView(QWidget *view) { setNibblerView(view); }
    QObject *nibblerController() const { return mNibblerController.data(); }
    void setNibblerController(QObject *controller);

    // The nib's top-level objects that still exist. Setting takes ownership of the new ones
    // and deletes the old ones that are not among them.
    QList<QObject *> topLevelObjects() const;
    void setTopLevelObjects(const QList<QObject *> &objects);

    uint constructed() const { return mConstructed; }
    void setConstructed(uint constructed) { mConstructed = constructed; }

    // Sends actionNibblerModelUpdated with the object to the delegate when it has that
    // method; otherwise nothing happens.
    Q_INVOKABLE void actionNibblerModelUpdated(QObject *object);

    // The class's own name: the title of the nibbler as a page of a multi-view box.
    QString multiViewTitle() const;

    virtual bool acceptsFirstMouse(QEvent *event) const;

    // Window placement in screen coordinates (the window's frame, decorations included).
    // Moves the window so that its top-left corner sits on the view's bottom-left corner.
    static void alignWindowTopLeft(QWidget *window, QWidget *directlyBelowView);
    // Centres the window horizontally on the view; its vertical position stays.
    static void centerWindow(QWidget *window, QWidget *horizontallyPositionedAboveView);
    void centerWindowAboveNibblerSubView(QWidget *window);

signals:
    void delegateChanged();
    void nibblerModelChanged();
    void nibblerViewChanged();
    void nibblerControllerChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Fits the sub-views to the nibbler's size since they were last fitted.
    void followSize();

    QPointer<QObject> mDelegate;
    QPointer<QObject> mNibblerModel;
    QPointer<QWidget> mNibblerView;
    QPointer<QObject> mNibblerController;
    QList<QPointer<QObject>> mTopLevelObjects;
    uint mConstructed = 0;
    std::optional<QString> mDefaultNibName;
    QSize mFittedSize;
};

bool import_NSUIViewNibbler();
