#include "NSSegmentedControl.h"

#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

#include <algorithm>

NS_REGISTER_CLASS(NSSegmentedControl);

bool import_NSSegmentedControl() { return true; }

NSSegmentedControl::NSSegmentedControl(QWidget *parent)
    : QWidget(parent), mLayout(new QHBoxLayout(this)), mGroup(new QButtonGroup(this)) {
    mLayout->setContentsMargins(0, 0, 0, 0);
    mLayout->setSpacing(0);
    mGroup->setExclusive(true);
    connect(mGroup, &QButtonGroup::idClicked, this, &NSSegmentedControl::segmentClicked);
    connect(mGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) emit selectedSegmentChanged(id);
    });
}

NSSegmentedControl::~NSSegmentedControl() = default;

void NSSegmentedControl::setSegmentCount(int count) {
    count = std::max(count, 0);
    while (mSegments.size() > count) {
        QToolButton *button = mSegments.takeLast();
        mGroup->removeButton(button);
        delete button;
    }
    while (mSegments.size() < count) {
        auto *button = new QToolButton(this);
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        mGroup->addButton(button, int(mSegments.size()));
        mLayout->addWidget(button);
        mSegments.append(button);
    }
}

QStringList NSSegmentedControl::labels() const {
    QStringList labels;
    for (const QToolButton *button : mSegments) labels.append(button->text());
    return labels;
}

void NSSegmentedControl::setLabels(const QStringList &labels) {
    setSegmentCount(int(labels.size()));
    for (int segment = 0; segment < labels.size(); ++segment) setLabel(labels.at(segment), segment);
}

QString NSSegmentedControl::labelForSegment(int segment) const {
    if (segment < 0 || segment >= mSegments.size()) return QString();
    return mSegments.at(segment)->text();
}

void NSSegmentedControl::setLabel(const QString &label, int segment) {
    if (segment < 0 || segment >= mSegments.size()) return;
    mSegments.at(segment)->setText(label);
}

int NSSegmentedControl::selectedSegment() const { return mGroup->checkedId(); }

void NSSegmentedControl::setSelectedSegment(int segment) {
    if (segment >= 0 && segment < mSegments.size()) {
        mSegments.at(segment)->setChecked(true);
        return;
    }
    if (QAbstractButton *checked = mGroup->checkedButton()) {
        mGroup->setExclusive(false);
        checked->setChecked(false);
        mGroup->setExclusive(true);
        emit selectedSegmentChanged(-1);
    }
}

QToolButton *NSSegmentedControl::segmentButton(int segment) const {
    if (segment < 0 || segment >= mSegments.size()) return nullptr;
    return mSegments.at(segment);
}

void NSSegmentedControl::segmentClicked(int) {
    if (mTarget.isNull() || mAction.isEmpty()) return;
    try {
        performSelector(mTarget.data(), mAction, NSKeyValueCoding::variantFromObject(this));
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NSSegmentedControl %1: %2").arg(QString::fromUtf8(mAction), exception.description()));
    }
}
