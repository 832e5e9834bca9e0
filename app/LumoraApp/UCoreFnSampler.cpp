#include "UCoreFnSampler.h"

#include <Foundation/NSObjCRuntime.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

NS_REGISTER_CLASS(UCoreFnSampler);

namespace {

// The process-wide sampler. The lock is held while a sampler registers, leaves, or is reported
// to through sampleSharedFunctionName; the atomic lets sharedFnSampler() read without it.
constinit std::mutex sSharedSamplerLock;
constinit std::atomic<UCoreFnSampler *> sSharedSampler{nullptr};

}  // namespace

// ---- UCoreFunction ------------------------------------------------------------------------

UCoreFunction UCoreFunction::sampledFn(const char *functionName, double sampledTime) {
    UCoreFunction function;
    function.mFunctionName = QString::fromUtf8(functionName != nullptr ? functionName : "");
    function.mSampledTime = sampledTime;
    function.mSampleCount = 1;
    return function;
}

QString UCoreFunction::averageFnTime() const {
    const double average = mSampleCount != 0 ? mSampledTime / double(mSampleCount) * 1000.0 : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%02.1lf msec (%d)", average, int(mSampleCount));
    return QString::fromLatin1(text);
}

// ---- UCoreFnSampler -----------------------------------------------------------------------

UCoreFnSampler::UCoreFnSampler(QObject *parent) : QAbstractTableModel(parent) {
    mRefreshTimer.setInterval(1000);
    mRefreshTimer.setSingleShot(false);
    connect(&mRefreshTimer, &QTimer::timeout, this, [this] { refreshTimer(&mRefreshTimer); });
    const std::lock_guard<std::mutex> lock(sSharedSamplerLock);
    sSharedSampler.store(this, std::memory_order_release);
}

UCoreFnSampler::~UCoreFnSampler() {
    mRefreshTimer.stop();
    const std::lock_guard<std::mutex> lock(sSharedSamplerLock);
    UCoreFnSampler *self = this;
    sSharedSampler.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

UCoreFnSampler *UCoreFnSampler::sharedFnSampler() { return sSharedSampler.load(std::memory_order_acquire); }

bool UCoreFnSampler::sampleSharedFunctionName(const char *functionName, double functionTime) {
    const std::lock_guard<std::mutex> lock(sSharedSamplerLock);
    UCoreFnSampler *sampler = sSharedSampler.load(std::memory_order_acquire);
    if (sampler == nullptr) return false;
    sampler->sampleFunctionName(functionName, functionTime);
    return true;
}

void UCoreFnSampler::awakeFromNib() {
    if (QTableView *tableView = mTableView.data(); tableView != nullptr && tableView->model() != this)
        tableView->setModel(this);
    mRefreshTimer.start();
}

void UCoreFnSampler::refreshTimer(QObject *) { reloadData(); }

void UCoreFnSampler::sampleFunctionName(const char *functionName, double functionTime) {
    if (functionName == nullptr || !std::isfinite(functionTime)) return;
    const QString name = QString::fromUtf8(functionName);
    const std::lock_guard<std::mutex> lock(mFunctionsLock);
    for (UCoreFunction &function : mFunctions) {
        if (function.functionName() == name) {
            function.setSampledTime(function.sampledTime() + functionTime);
            function.setSampleCount(function.sampleCount() + 1);
            return;
        }
    }
    mFunctions.push_back(UCoreFunction::sampledFn(functionName, functionTime));
}

void UCoreFnSampler::resetAction(QObject *) {
    {
        const std::lock_guard<std::mutex> lock(mFunctionsLock);
        mFunctions.clear();
    }
    reloadData();
}

std::vector<UCoreFunction> UCoreFnSampler::functions() const {
    const std::lock_guard<std::mutex> lock(mFunctionsLock);
    return mFunctions;
}

int UCoreFnSampler::numberOfRowsInTableView(QTableView *) const {
    const std::lock_guard<std::mutex> lock(mFunctionsLock);
    return int(mFunctions.size());
}

QVariant UCoreFnSampler::tableViewObjectValue(const QString &columnIdentifier, int row) const {
    const std::lock_guard<std::mutex> lock(mFunctionsLock);
    if (row < 0 || size_t(row) >= mFunctions.size()) return QString();
    const UCoreFunction &function = mFunctions[size_t(row)];
    if (columnIdentifier == QLatin1StringView(kFunctionNameColumn)) return function.functionName();
    if (columnIdentifier == QLatin1StringView(kFunctionTimeColumn)) return function.averageFnTime();
    return QString();
}

void UCoreFnSampler::reloadData() {
    beginResetModel();
    mShownRows = numberOfRowsInTableView();
    endResetModel();
}

int UCoreFnSampler::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : mShownRows; }

int UCoreFnSampler::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 2; }

QVariant UCoreFnSampler::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return tableViewObjectValue(headerData(index.column(), Qt::Horizontal, Qt::DisplayRole).toString(), index.row());
}

QVariant UCoreFnSampler::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        if (section == 0) return QString::fromLatin1(kFunctionNameColumn);
        if (section == 1) return QString::fromLatin1(kFunctionTimeColumn);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---- UCoreFnStageTimer --------------------------------------------------------------------

UCoreFnStageTimer::UCoreFnStageTimer(const char *label) : mLabel(label) {}

UCoreFnStageTimer::~UCoreFnStageTimer() {
    const double seconds = double(mElapsed.Elapsed_nsec()) / 1000.0 / 1000.0 / 1000.0;
    try {
        UCoreFnSampler::sampleSharedFunctionName(mLabel, seconds);
    } catch (...) {
        // A report that cannot be stored (no memory) is dropped: a destructor never throws.
    }
}

bool import_UCoreFnSampler() { return import_CoreMachElapsedTime(); }
