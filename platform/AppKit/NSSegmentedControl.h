// NSSegmentedControl: AppKit's segmented control on a Qt widget: a row of checkable tool buttons
// of which one at most is selected (Qt's style draws them).
//
// Segments are numbered from 0. A nib gives the labels as the string list "labels" (which also
// sets the number of segments) or the number alone as "segmentCount". Clicking a segment
// selects it and sends the action (a selector name) to the target; setting selectedSegment in
// code sends nothing. selectedSegment is -1 when no segment is selected.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QToolButton;
class QButtonGroup;
class QHBoxLayout;

class NSSegmentedControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int segmentCount READ segmentCount WRITE setSegmentCount)
    Q_PROPERTY(QStringList labels READ labels WRITE setLabels)
    Q_PROPERTY(int selectedSegment READ selectedSegment WRITE setSelectedSegment NOTIFY selectedSegmentChanged)
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    Q_INVOKABLE explicit NSSegmentedControl(QWidget *parent = nullptr);
    ~NSSegmentedControl() override;

    int segmentCount() const { return int(mSegments.size()); }
    // New segments have empty labels; negative counts are 0.
    void setSegmentCount(int count);
    QStringList labels() const;
    void setLabels(const QStringList &labels);
    // The segment's label; null for a segment that does not exist.
    QString labelForSegment(int segment) const;
    // Does nothing for a segment that does not exist.
    void setLabel(const QString &label, int segment);

    int selectedSegment() const;
    // A number outside the segments clears the selection.
    void setSelectedSegment(int segment);

    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }

    // The button that shows the segment (for tooltips and accessible names); null when none.
    QToolButton *segmentButton(int segment) const;

signals:
    void selectedSegmentChanged(int segment);

private:
    void segmentClicked(int segment);

    QHBoxLayout *mLayout;
    QButtonGroup *mGroup;
    QList<QToolButton *> mSegments;
    QPointer<QObject> mTarget;
    QByteArray mAction;
};

bool import_NSSegmentedControl();
