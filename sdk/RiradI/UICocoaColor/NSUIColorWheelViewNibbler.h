// NSUIColorWheelViewNibbler: the colour wheel as a view of its own nib
// ("NSUIColorWheelViewNibbler": an NSUIColorWheelView as nibblerView). It owns the wheel's
// controller (nibblerController), writes the shared colour scheme, persists the wheel's
// settings and serves the favourites (named presets of the wheel's key paths).
//
// The controller, the scheme and the favourites controller are outlets that a host may set
// before the nib loads; what is not set is made here (the scheme is the shared instance).
// When the nib has loaded, the wheel view draws the controller, the controller's notices
// reach the view and through it this nibbler and its delegate, and the nibbler registers
// with the persistent-objects controller (restored at once when the application has already
// launched). It unregisters, and so is saved, when it goes.
#pragma once

#include "UFColorSchemeController.h"
#include "UFColorWheelController.h"

#include <CocoaFoundation/NSUIKeyPathsPresetsController.h>
#include <CocoaFoundation/UPersistentObjectsController.h>
#include <UICocoaViews/NSUIViewNibbler.h>

#include <AppKit/NSImage.h>

#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class NSUIColorWheelViewNibbler : public NSUIViewNibbler, public UPersistentObject {
    Q_OBJECT
    Q_PROPERTY(UFColorSchemeController *colorScheme READ colorScheme WRITE setColorScheme)
    Q_PROPERTY(NSUIKeyPathsPresetsController *favorites READ favorites WRITE setFavorites)
    Q_PROPERTY(UFColorWheelController *colorWheel READ colorWheel)
    Q_PROPERTY(std::shared_ptr<NSImage> colorWheelPreviewImage READ colorWheelPreviewImage NOTIFY
                   colorWheelPreviewImageChanged)

public:
    Q_INVOKABLE explicit NSUIColorWheelViewNibbler(QWidget *parent = nullptr);
    ~NSUIColorWheelViewNibbler() override;

    UFColorSchemeController *colorScheme() const { return mColorScheme.data(); }
    void setColorScheme(UFColorSchemeController *scheme) { mColorScheme = scheme; }
    NSUIKeyPathsPresetsController *favorites() const { return mFavorites.data(); }
    void setFavorites(NSUIKeyPathsPresetsController *favorites) { mFavorites = favorites; }

    // The nib's controller.
    UFColorWheelController *colorWheel() const;
    UFColorWheelController *colorWheelController() const { return colorWheel(); }

    void awakeFromNibbler() override;

    // Persistence: the wheel's key paths, under "NSUIColorWheelViewNibbler.colorWheel". The
    // favourites list keeps itself (the presets controller saves it after every change) under
    // "NSUIColorWheelViewNibbler": the two records must not share one user-defaults key, and
    // a list of presets is no value the persistent record may hold.
    QSet<QString> persistentObjectKeyPaths() const override;
    QString persistenceObjectKey() const override;
    static QStringList colorWheelKeyPaths();

    // Forwards to the delegate when it answers.
    Q_INVOKABLE void colorWheelControllerDidChange(QObject *controller);

    // The wheel without selection chrome, 128 × 128 pixels on transparent; null when the
    // offscreen context cannot be made or focused. Drawn anew at every call.
    // colorWheelPreviewImageChanged tells of every change of what it draws: the colours are
    // recomputed (the controller's colorChangedCount), the slices or the hue combination
    // (colour or grey wheel) change, or the nibbler gets another controller.
    std::shared_ptr<NSImage> colorWheelPreviewImage() const;

    // The favourites controller's delegate and source.
    Q_INVOKABLE QObject *favoritesSourceObjectWithKeyPaths(QObject *controller);
    Q_INVOKABLE QString favoritesSerializationKey(QObject *controller) const;
    Q_INVOKABLE QString favoritesNameForNewBookmark(QObject *preset) const;
    Q_INVOKABLE QSet<QString> favoritesKeyPathsForSerialization(QObject *preset) const;
    Q_INVOKABLE void favoritesDidChangeKeyPathValues(QObject *preset);

signals:
    void colorWheelPreviewImageChanged();

private:
    // Follows the changes of the nib's controller that change the preview.
    void observeColorWheel();

    QPointer<UFColorSchemeController> mColorScheme;
    QPointer<NSUIKeyPathsPresetsController> mFavorites;
    bool mRegistered = false;
    QMetaObject::Connection mColorChangedConnection;
    QMetaObject::Connection mSlicesConnection;
    QMetaObject::Connection mCombinationConnection;
};

bool import_NSUIColorWheelViewNibbler();
