// The table of per-stage timings of the frame loop.
//
// UCoreFunction is one row: a stage's label, the total seconds reported under it and the number
// of reports. UCoreFnSampler keeps the rows in the order their labels were first reported and is
// the table view's model (data source): column "functionName" shows the label, "functionTime"
// the average ("4.0 msec (3)"). Its timer reloads the table once a second.
//
// The process-wide sampler. The sampler made last registers itself when it is made and leaves
// when it is destroyed (only when it is still the registered one, so destroying an older sampler
// never silences a newer one). Reports may come from any thread: the rows are kept under the
// sampler's own lock, and sampleSharedFunctionName (what UCoreFnStageTimer uses) reports under
// the registry's lock, so a sampler being destroyed on the main thread is never reported to.
// sharedFnSampler() hands out the bare pointer, for the main thread, where samplers are made and
// destroyed. The model itself (row count, resets) belongs to the main thread: its row count
// changes only when the table is reloaded, and rows asked for beyond the entries read "".
//
// UCoreFnStageTimer is a stopwatch for one stage: made at the stage's entry, it reports the
// elapsed seconds under its label to the process-wide sampler when its scope is left, also by an
// exception; nothing when there is no sampler.
#pragma once

#include <CoreX/CoreMachElapsedTime.h>

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <QTimer>
#include <QVariant>

#include <cstdint>
#include <mutex>
#include <vector>

class UCoreFunction {
public:
    UCoreFunction() = default;
    // A new entry: the label ("" for null), the seconds and a count of 1.
    static UCoreFunction sampledFn(const char *functionName, double sampledTime);

    const QString &functionName() const { return mFunctionName; }
    void setFunctionName(const QString &name) { mFunctionName = name; }
    double sampledTime() const { return mSampledTime; }
    void setSampledTime(double seconds) { mSampledTime = seconds; }
    uint32_t sampleCount() const { return mSampleCount; }
    void setSampleCount(uint32_t count) { mSampleCount = count; }

    // "%02.1lf msec (%d)" of the average in milliseconds and the count ("0.0 msec (0)" without
    // samples).
    QString averageFnTime() const;

private:
    QString mFunctionName;
    double mSampledTime = 0.0;
    uint32_t mSampleCount = 0;
};

class UCoreFnSampler : public QAbstractTableModel {
    Q_OBJECT
    Q_PROPERTY(QTableView *outletTableView READ outletTableView WRITE setOutletTableView)

public:
    static constexpr char kFunctionNameColumn[] = "functionName";
    static constexpr char kFunctionTimeColumn[] = "functionTime";

    // No entries; becomes the process-wide sampler.
    Q_INVOKABLE explicit UCoreFnSampler(QObject *parent = nullptr);
    // Stops the timer; leaves the process-wide pointer when it still holds this sampler.
    ~UCoreFnSampler() override;

    // The process-wide sampler, or null.
    static UCoreFnSampler *sharedFnSampler();
    // Reports to the process-wide sampler under the registry's lock; false when there is none.
    static bool sampleSharedFunctionName(const char *functionName, double functionTime);

    QTableView *outletTableView() const { return mTableView.data(); }
    void setOutletTableView(QTableView *tableView) { mTableView = tableView; }

    // Shows the rows in the connected table and starts the repeating 1.0 s refresh timer.
    Q_INVOKABLE void awakeFromNib();
    // The refresh timer's action: reloads the table.
    Q_INVOKABLE void refreshTimer(QObject *timer = nullptr);
    // Adds the seconds to the label's entry (count + 1), or makes its entry. A null label or a
    // time that is not a finite number is ignored.
    void sampleFunctionName(const char *functionName, double functionTime);
    // Empties the table and reloads it.
    Q_INVOKABLE void resetAction(QObject *sender = nullptr);

    // A copy of the entries, in their table order.
    std::vector<UCoreFunction> functions() const;
    bool isRefreshing() const { return mRefreshTimer.isActive(); }
    int refreshInterval() const { return mRefreshTimer.interval(); }

    // The data-source side: the number of entries, and the value of a column for a row: the
    // label ("functionName"), the average ("functionTime"), "" for anything else.
    int numberOfRowsInTableView(QTableView *tableView = nullptr) const;
    QVariant tableViewObjectValue(const QString &columnIdentifier, int row) const;
    // Reloads the table (the model's rows become the current entries).
    void reloadData();

    // QAbstractItemModel.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QPointer<QTableView> mTableView;
    mutable std::mutex mFunctionsLock;
    std::vector<UCoreFunction> mFunctions;  // under mFunctionsLock
    QTimer mRefreshTimer;
    int mShownRows = 0;  // the rows the views were last told of (main thread)
};

class UCoreFnStageTimer {
public:
    // The label is kept as given: a string that outlives the timer (a literal).
    explicit UCoreFnStageTimer(const char *label);
    ~UCoreFnStageTimer();
    UCoreFnStageTimer(const UCoreFnStageTimer &) = delete;
    UCoreFnStageTimer &operator=(const UCoreFnStageTimer &) = delete;

private:
    const char *mLabel;
    CoreMachElapsedTime mElapsed;
};

bool import_UCoreFnSampler();
