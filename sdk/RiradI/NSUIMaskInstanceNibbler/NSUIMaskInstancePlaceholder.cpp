#include "NSUIMaskInstancePlaceholder.h"

#include <Foundation/NSObjCRuntime.h>

#include <QTabBar>

NS_REGISTER_CLASS(NSUIMaskInstancePlaceholder);
// The segmented control of the nibs: Qt's form loader does not make tab bars itself.
NS_REGISTER_CLASS(QTabBar);

NSUIMaskInstancePlaceholder::NSUIMaskInstancePlaceholder(QWidget *parent) : NSUIViewPlaceholder(parent) {}

NSUIMaskInstancePlaceholder::~NSUIMaskInstancePlaceholder() = default;

void NSUIMaskInstancePlaceholder::setOutletSelectedMask(QTabBar *control) {
    if (_selectedMask != nullptr) disconnect(_selectedMask, nullptr, this, nullptr);
    _selectedMask = control;
    if (control != nullptr)
        connect(control, &QTabBar::currentChanged, this, [this] { selectedMaskViewChanged(_selectedMask); });
}

int NSUIMaskInstancePlaceholder::selectedSegment() const {
    return _selectedMask != nullptr ? _selectedMask->currentIndex() : 0;
}

void NSUIMaskInstancePlaceholder::setSelectedSegment(int segment) {
    if (_selectedMask != nullptr && segment >= 0 && segment < _selectedMask->count())
        _selectedMask->setCurrentIndex(segment);
    showHideMaskViews();
}

void NSUIMaskInstancePlaceholder::showHideMaskViews() {
    const bool shape = selectedSegment() == 0;
    QWidget *shown = shape ? _maskView_A.data() : _maskView_B.data();
    QWidget *other = shape ? _maskView_B.data() : _maskView_A.data();
    if (other != nullptr && other != shown && other->parentWidget() != nullptr) other->hide();
    if (shown != nullptr) {
        installView(shown);
        shown->show();
    }
}

void NSUIMaskInstancePlaceholder::awakeFromNib() {
    if (_selectedMask != nullptr && _selectedMask->count() == 0) {
        // A form cannot list a tab bar's tabs: an empty control gets the two pages' titles.
        _selectedMask->addTab(tr("Shape"));
        _selectedMask->addTab(tr("Screen"));
    }
    if (_selectedMask != nullptr) _selectedMask->setCurrentIndex(0);
    showHideMaskViews();
}

void NSUIMaskInstancePlaceholder::selectedMaskViewChanged(QObject *) { showHideMaskViews(); }

bool import_NSUIMaskInstancePlaceholder() { return import_NSUIViewPlaceholder(); }
