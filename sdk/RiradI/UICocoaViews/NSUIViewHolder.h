// NSUIViewHolder: a container view that draws nothing, takes the first click, and gives
// subclasses one place to set themselves up (initViewAttributes). Pages of multi-view
// switching and many panels derive from it.
#pragma once

#include <QWidget>

class QEvent;

class NSUIViewHolder : public QWidget {
    Q_OBJECT
public:
    // Runs initViewAttributes. C++ builds the base first, so only this class's hook runs here:
    // a subclass calls its own initViewAttributes from its constructor.
    Q_INVOKABLE explicit NSUIViewHolder(QWidget *parent = nullptr);
    ~NSUIViewHolder() override;

    // The set-up hook; the base does nothing.
    virtual void initViewAttributes();

    // A click in an inactive window acts at once.
    virtual bool acceptsFirstMouse(QEvent *event) const;
};

bool import_NSUIViewHolder();
