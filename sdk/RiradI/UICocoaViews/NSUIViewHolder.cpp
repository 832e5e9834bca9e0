#include <UICocoaViews/NSUIViewHolder.h>

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIViewHolder);

// No paintEvent and no auto-filled background: the holder draws nothing, its sub-views draw.
NSUIViewHolder::NSUIViewHolder(QWidget *parent) : QWidget(parent) { NSUIViewHolder::initViewAttributes(); }

NSUIViewHolder::~NSUIViewHolder() = default;

void NSUIViewHolder::initViewAttributes() {}

bool NSUIViewHolder::acceptsFirstMouse(QEvent *) const { return true; }

bool import_NSUIViewHolder() { return true; }
