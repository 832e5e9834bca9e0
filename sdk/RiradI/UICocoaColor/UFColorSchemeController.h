// UFColorSchemeController: the three colours of the current colour scheme, shared by every
// panel that reads them (one instance per process, UNibSingleton). The colour wheel writes
// them; other panels observe them by key path ("dominantColor" and so on).
#pragma once

#include <CocoaFoundation/UNibSingleton.h>

#include <QColor>

// The colours a colour scheme answers.
class UIColorSchemeProtocol {
public:
    virtual ~UIColorSchemeProtocol() = default;
    virtual QColor dominantColor() const = 0;
    virtual QColor secondaryColor() const = 0;
    virtual QColor tertiaryColor() const = 0;
};

class UFColorSchemeController : public UNibSingleton, public UIColorSchemeProtocol {
    Q_OBJECT
    Q_PROPERTY(QColor dominantColor READ dominantColor WRITE setDominantColor NOTIFY dominantColorChanged)
    Q_PROPERTY(QColor secondaryColor READ secondaryColor WRITE setSecondaryColor NOTIFY secondaryColorChanged)
    Q_PROPERTY(QColor tertiaryColor READ tertiaryColor WRITE setTertiaryColor NOTIFY tertiaryColorChanged)

public:
    // Blue, red and green.
    UFColorSchemeController();
    ~UFColorSchemeController() override;

    // The shared instance, made on first use.
    static UFColorSchemeController *sharedColorSchemeController();

    QColor dominantColor() const override;
    QColor secondaryColor() const override;
    QColor tertiaryColor() const override;
    void setDominantColor(const QColor &color);
    void setSecondaryColor(const QColor &color);
    void setTertiaryColor(const QColor &color);

signals:
    void dominantColorChanged();
    void secondaryColorChanged();
    void tertiaryColorChanged();

private:
    QColor mDominantColor;
    QColor mSecondaryColor;
    QColor mTertiaryColor;
};

bool import_UFColorSchemeController();
