#include <CocoaGL/NSOGL1DTextureView.h>

#include <CocoaGraphics/UFLayeredPDFContext.h>
#include <CoreX/CoreNumberedFilename.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSView_NormalizedMouse.h>

#include <QDir>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <condition_variable>

NS_REGISTER_CLASS(NSOGL1DTextureView);
NS_REGISTER_CLASS(NSOGL1DTextureViewController);
NS_REGISTER_CLASS(NSOGLTexture1DViewNibbler);
NS_REGISTER_CLASS(NSOGL1DFilterKeyPathPreset);

namespace {

// Snapshots written on the background pool: counted so that tests can wait for them.
std::mutex gSnapshotLock;
std::condition_variable gSnapshotDone;
int gSnapshotsPending = 0;

QThreadPool &SnapshotPool() {
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;  // never destroyed: a snapshot may run at exit
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

}  // namespace

// ---- NSOGL1DTextureView ---------------------------------------------------------------------

NSOGL1DTextureView::NSOGL1DTextureView(QWidget *parent)
    : QWidget(parent),
      mFilter(NSOGL1DFilterValues::filterWithValue(0.5f, valuesCountForQuantizationAmount(kQuantizationMaximum))) {
    mCachedIsVertical = height() > width();
}

NSOGL1DTextureView::~NSOGL1DTextureView() { setCachedTextureImage1D(nullptr); }

uint32_t NSOGL1DTextureView::valuesCountForQuantizationAmount(unsigned q) {
    return 1u << std::clamp(q, kQuantizationMinimum, kQuantizationMaximum);
}

unsigned NSOGL1DTextureView::quantizationAmountForValuesCount(uint32_t n) {
    if (n == 0) return 0;
    return unsigned(std::log2(double(std::min<uint32_t>(n, 256))));
}

std::shared_ptr<NSOGL1DFilterValues> NSOGL1DTextureView::filter() const {
    const std::lock_guard lock(mFilterLock);
    return mFilter;
}

void NSOGL1DTextureView::setFilter(std::shared_ptr<NSOGL1DFilterValues> filter) {
    const std::lock_guard lock(mFilterLock);
    mFilter = std::move(filter);
}

void NSOGL1DTextureView::setQuantizationAmount(unsigned q) {
    q = std::clamp(q, kQuantizationMinimum, kQuantizationMaximum);
    if (q == mQuantizationAmount) return;
    mQuantizationAmount = q;
    const auto current = filter();
    if (current == nullptr || current->valuesCount() != valuesCountForQuantizationAmount(q))
        setValuesCount(valuesCountForQuantizationAmount(q));
    emit quantizationAmountChanged();
}

void NSOGL1DTextureView::setValuesCount(uint32_t n) {
    const auto current = filter();
    setFilter(NSOGL1DFilterValues::filterWithInterpolatedFilterValues(current.get(), n));
    setFilterChanged(true);
}

void NSOGL1DTextureView::setFilterChanged(bool changed) {
    mTextureDirtyValue = changed;
    emit filterChangedChanged();
    if (changed) {
        emit textureImage1DChanged();
        update();
    }
}

void NSOGL1DTextureView::setCachedTextureImage1D(CGImageRef image) {
    const std::lock_guard lock(mImageLock);
    if (image == mCachedTextureImage1D) return;
    if (mCachedTextureImage1D != nullptr) CGImageRelease(mCachedTextureImage1D);
    mCachedTextureImage1D = image != nullptr ? CGImageRetain(image) : nullptr;
}

CGImageRef NSOGL1DTextureView::cachedTextureImage1DCopy() const {
    const std::lock_guard lock(mImageLock);
    return mCachedTextureImage1D != nullptr ? CGImageRetain(mCachedTextureImage1D) : nullptr;
}

CGImageRef NSOGL1DTextureView::textureImage1D() {
    bool missing;
    {
        const std::lock_guard lock(mImageLock);
        missing = mCachedTextureImage1D == nullptr;
    }
    if (mTextureDirtyValue || missing) {
        const auto current = filter();
        CGImageRef image = current == nullptr ? nullptr
                           : mCachedIsVertical ? current->createTextureImage1DVertical()
                                               : current->createTextureImage1DHorizontal();
        setCachedTextureImage1D(image);
        if (image != nullptr) CGImageRelease(image);
        mTextureDirtyValue = false;
        emit filterChangedChanged();
    }
    const std::lock_guard lock(mImageLock);
    return mCachedTextureImage1D;
}

void NSOGL1DTextureView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const bool vertical = height() > width();
    if (vertical != mCachedIsVertical) {
        mCachedIsVertical = vertical;
        emit isVerticalChanged();
    }
    setFilterChanged(true);
}

QPointF NSOGL1DTextureView::quantizedNormalizedPointFromEvent(const QMouseEvent *event) const {
    if (event == nullptr) return {};
    const auto current = filter();
    const double n = current != nullptr && current->valuesCount() > 0 ? current->valuesCount() : 1;
    // Graph coordinates: y up from the bottom edge.
    QPointF p(event->position().x(), height() - event->position().y());
    if (mCachedIsVertical) p.ry() -= 0.5 * height() / n;
    else p.rx() -= 0.5 * width() / n;
    return NormalizedMouse::normalizedPointFromViewPoint(*this, p);
}

bool NSOGL1DTextureView::setInterpolatedPointValues(QPointF normal) {
    const auto current = filter();
    if (current == nullptr) return false;
    const uint32_t n = current->valuesCount();
    const double along = mCachedIsVertical ? normal.y() : normal.x();
    const float value = float(mCachedIsVertical ? normal.x() : normal.y());
    const double scaled = std::clamp(double(n) * along + 0.5, 0.0, double(n));
    const uint32_t index = uint32_t(scaled);
    bool changed = false;
    if (!mLastPoint.isNull()) {
        const double lastAlong = mCachedIsVertical ? mLastPoint.y() : mLastPoint.x();
        const float lastValue = float(mCachedIsVertical ? mLastPoint.x() : mLastPoint.y());
        const uint32_t last = uint32_t(std::clamp(double(n) * lastAlong + 0.5, 0.0, double(n)));
        if (last != index) {
            const int direction = index > last ? 1 : -1;
            const uint32_t distance = index > last ? index - last : last - index;
            const float step = (value - lastValue) / float(distance);
            float v = lastValue;
            for (uint32_t k = 0, j = last; k < distance; ++k, j += direction, v += step)
                changed = current->setValue(v, j) || changed;
        }
    }
    mLastPoint = normal;
    if (mDelegate != nullptr) mDelegate->textureView1DScribbledAtSampleIndex(this, index);
    changed = current->setValue(value, index) || changed;
    return changed;
}

void NSOGL1DTextureView::updateTrackingNormal(QPointF normal, unsigned button) {
    if (button == kButtonDown) mLastPoint = QPointF();
    if (!normal.isNull() && setInterpolatedPointValues(normal)) {
        setFilterChanged(true);
        repaint();
    }
    if (button == kButtonUp) mLastPoint = QPointF();
}

void NSOGL1DTextureView::synthesizedTrackingNormal(QPointF normal) {
    if (setInterpolatedPointValues(normal)) setFilterChanged(true);
}

void NSOGL1DTextureView::cancelMouseTrackingOperation() { leaveEvent(nullptr); }

void NSOGL1DTextureView::enterEvent(QEnterEvent *event) {
    QWidget::enterEvent(event);
    mWasTracking = hasMouseTracking();
    setMouseTracking(true);
    setFocus();
}

void NSOGL1DTextureView::leaveEvent(QEvent *event) {
    if (event != nullptr) QWidget::leaveEvent(event);
    mIsMouseTracking = false;
    setMouseTracking(mWasTracking);
}

void NSOGL1DTextureView::mousePressEvent(QMouseEvent *event) {
    mIsMouseTracking = true;
    updateTrackingNormal(quantizedNormalizedPointFromEvent(event), kButtonDown);
}

void NSOGL1DTextureView::mouseMoveEvent(QMouseEvent *event) {
    if (!mIsMouseTracking) return;
    const unsigned button = (event->buttons() & Qt::LeftButton) ? unsigned(kButtonDragged) : unsigned(kButtonMoved);
    updateTrackingNormal(quantizedNormalizedPointFromEvent(event), button);
}

void NSOGL1DTextureView::mouseReleaseEvent(QMouseEvent *event) {
    updateTrackingNormal(quantizedNormalizedPointFromEvent(event), kButtonUp);
    mIsMouseTracking = false;
}

namespace {

// The bars of a graph in y-up coordinates: calls fill(x, y, width, height) per rectangle.
template <typename Fill>
void GraphRects(CGRect rect, const NSOGL1DFilterValues &filter, bool vertical, bool half, Fill fill) {
    const uint32_t n = filter.valuesCount();
    const double length = vertical ? rect.size.height : rect.size.width;
    const double across = vertical ? rect.size.width : rect.size.height;
    if (half) {
        if (vertical) fill(rect.origin.x, rect.origin.y, across / 2, length, true);
        else fill(rect.origin.x, rect.origin.y, length, across / 2, true);
    }
    if (n == 0) return;
    const double pitch = (length - n) / n + 1;
    const double bar = std::max(0.9 * (pitch - 1), pitch - 3);
    for (uint32_t i = 0; i < n; ++i) {
        const double at = i * pitch;
        const double size = double(filter.values()[i]) * across;
        if (vertical) fill(rect.origin.x, rect.origin.y + at, size, bar, false);
        else fill(rect.origin.x + at, rect.origin.y, bar, size, false);
    }
}

}  // namespace

void NSOGL1DTextureView::drawGraphWithBounds(CGContextRef context, CGRect rect, const NSOGL1DFilterValues &filter,
                                             bool vertical, const CGFloat *halfColor, const CGFloat *barColor) {
    if (context == nullptr) return;
    GraphRects(rect, filter, vertical, halfColor != nullptr, [&](double x, double y, double w, double h, bool isHalf) {
        const CGFloat *c = isHalf ? halfColor : barColor;
        CGContextSetRGBFillColor(context, c[0], c[1], c[2], c[3]);
        CGContextFillRect(context, CGRectMake(x, y, w, h));
    });
}

void NSOGL1DTextureView::drawGraphWithBounds(QPainter &painter, const QRectF &rect, const QColor *halfColor,
                                             const QColor &barColor) const {
    const auto current = filter();
    if (current == nullptr) return;
    const CGRect graph = CGRectMake(0, 0, rect.width(), rect.height());
    GraphRects(graph, *current, mCachedIsVertical, halfColor != nullptr,
               [&](double x, double y, double w, double h, bool isHalf) {
                   // y up to the painter's y down.
                   painter.fillRect(QRectF(rect.x() + x, rect.y() + rect.height() - y - h, w, h),
                                    isHalf ? *halfColor : barColor);
               });
}

void NSOGL1DTextureView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::gray);
    const QColor half(Qt::lightGray);
    drawGraphWithBounds(painter, QRectF(rect()), &half, Qt::white);
}

// ---- NSOGL1DTextureViewController ----------------------------------------------------------

NSOGL1DTextureViewController::NSOGL1DTextureViewController(QObject *parent) : NSObject(parent) {}

NSOGL1DTextureViewController::~NSOGL1DTextureViewController() {
    if (mTextureView && mTextureView->delegate() == this) mTextureView->setDelegate(nullptr);
}

void NSOGL1DTextureViewController::setOutletTextureView(NSOGL1DTextureView *view) {
    if (mTextureView && mTextureView->delegate() == this) mTextureView->setDelegate(nullptr);
    mTextureView = view;
    if (view != nullptr) view->setDelegate(this);
    emit outletTextureViewChanged();
}

void NSOGL1DTextureViewController::awakeFromNib() {
    if (mTextureView) mTextureView->setDelegate(this);
    setQuantizationAmount(NSOGL1DTextureView::kQuantizationMaximum);
}

QStringList NSOGL1DTextureViewController::functionNames() {
    return {QStringLiteral("(x)"),        QStringLiteral("square(x)"),   QStringLiteral("sin(x)"),
            QStringLiteral("saw(x)"),     QStringLiteral("triangle(x)"), QStringLiteral("perlin(x)"),
            QStringLiteral("random(x)"),  QStringLiteral("noise(x)")};
}

unsigned NSOGL1DTextureViewController::quantizationAmount() const {
    return mTextureView ? mTextureView->quantizationAmount() : NSOGL1DTextureView::kQuantizationMaximum;
}

void NSOGL1DTextureViewController::setQuantizationAmount(unsigned q) {
    if (mTextureView) mTextureView->setQuantizationAmount(q);
}

void NSOGL1DTextureViewController::setFnAmplitude(float a) {
    mFnAmplitude = a;
    emit parametersChanged();
}

void NSOGL1DTextureViewController::setFnFrequencyCoarse(float f) {
    mFnFrequencyCoarse = f;
    emit parametersChanged();
}

void NSOGL1DTextureViewController::setFnFrequencyFine(float f) {
    mFnFrequencyFine = f;
    emit parametersChanged();
}

float NSOGL1DTextureViewController::fnFrequency() const {
    return mFnFrequencyCoarse + (mFnFrequencyFine - 0.5f) * kFineFrequencyRange;
}

void NSOGL1DTextureViewController::setFnFrequency(float f) {
    mFnFrequencyFine = 0.5f;
    mFnFrequencyCoarse = f;
    emit parametersChanged();
}

float NSOGL1DTextureViewController::functionFrequency() const {
    const float f = fnFrequency();
    return f * f * f * kFrequencyScale;
}

void NSOGL1DTextureViewController::setFnPhase(float p) {
    mFnPhase = p;
    emit parametersChanged();
}

void NSOGL1DTextureViewController::setSelectedFn(unsigned fn) {
    if (mSelectedFn.exchange(fn) == fn) return;
    if (mRestoringPreset) {
        emit parametersChanged();
        return;  // the end of the restore decides whether the curve is rebuilt
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit parametersChanged();
            actionFunctionChanged(nullptr);
        },
        Qt::QueuedConnection);
}

QString NSOGL1DTextureViewController::selectedFnName() const {
    const QStringList names = functionNames();
    const unsigned fn = mSelectedFn;
    return fn < unsigned(names.size()) ? names.at(qsizetype(fn)) : QString();
}

QString NSOGL1DTextureViewController::localizedTitle() const {
    return QStringLiteral("f(x) = %1").arg(selectedFnName());
}

QString NSOGL1DTextureViewController::localizedSummary() const {
    QString name = selectedFnName();
    name.replace(QStringLiteral("(x)"), QString::asprintf("(%1.2lf*x+%1.2lf)", double(fnFrequency()), double(mFnPhase)));
    return QString::asprintf("%1.2lf * ", double(mFnAmplitude)) + name;
}

void NSOGL1DTextureViewController::runSelectedGenerator(NSOGL1DFilterValues &filter) const {
    const float a = mFnAmplitude, f = functionFrequency(), p = mFnPhase;
    switch (mSelectedFn.load()) {
    case 0: filter.setAllValuesToValue(a); break;
    case 1: filter.setAllValuesToSquareFn(a, f, p); break;
    case 2: filter.setAllValuesToSinFn(a, f, p); break;
    case 3: filter.setAllValuesToSawFn(a, f, p); break;
    case 4: filter.setAllValuesToTriangleFn(a, f, p); break;
    case 5: filter.setAllValuesToPerlinFn(a, f, p); break;
    case 6: filter.setAllValuesToRandomFn(a, f); break;
    case 7: filter.setAllValuesToNoiseFn(a); break;
    default: break;
    }
}

void NSOGL1DTextureViewController::actionFunctionChanged(QObject *sender) {
    if (mLiveUpdates) actionFunctionChangedUnconditional(sender);
}

void NSOGL1DTextureViewController::actionFunctionChangedUnconditional(QObject *) {
    if (mTextureView) {
        if (const auto filter = mTextureView->filter()) runSelectedGenerator(*filter);
        mTextureView->setFilterChanged(true);
    }
    mSaveFilterSampleValues = false;
}

void NSOGL1DTextureViewController::reconstructWaveFormFromParameters() { actionFunctionChangedUnconditional(nullptr); }

void NSOGL1DTextureViewController::actionFrequencyCoarseChanged(QObject *sender) {
    setFnFrequencyFine(0.5f);
    actionFunctionChanged(sender);
}

namespace {

template <typename Op>
void Apply(NSOGL1DTextureView *view, Op op) {
    if (view == nullptr) return;
    if (const auto filter = view->filter()) op(*filter);
}

}  // namespace

void NSOGL1DTextureViewController::actionIncreaseFilterValues(QObject *sender) {
    Apply(mTextureView.data(), [](NSOGL1DFilterValues &f) { f.operationAdditionAllValuesWithValue(kStepValue); });
    actionSamplesChangedRequiresSaveSamples(sender);
}

void NSOGL1DTextureViewController::actionDecreaseFilterValues(QObject *sender) {
    Apply(mTextureView.data(), [](NSOGL1DFilterValues &f) { f.operationAdditionAllValuesWithValue(-kStepValue); });
    actionSamplesChangedRequiresSaveSamples(sender);
}

void NSOGL1DTextureViewController::actionMultiplyFilterValues(QObject *sender) {
    Apply(mTextureView.data(), [](NSOGL1DFilterValues &f) { f.operationMultiplyAllValuesWithValue(1.5f); });
    actionSamplesChangedRequiresSaveSamples(sender);
}

void NSOGL1DTextureViewController::actionDivideFilterValues(QObject *sender) {
    Apply(mTextureView.data(), [](NSOGL1DFilterValues &f) { f.operationMultiplyAllValuesWithValue(0.75f); });
    actionSamplesChangedRequiresSaveSamples(sender);
}

void NSOGL1DTextureViewController::actionNormalizeValues(QObject *) {
    Apply(mTextureView.data(), [](NSOGL1DFilterValues &f) { f.setAllValuesToValue(0.5f); });
    if (mTextureView) mTextureView->setFilterChanged(true);
}

void NSOGL1DTextureViewController::actionSamplesChangedRequiresSaveSamples(QObject *) {
    if (mTextureView) mTextureView->setFilterChanged(true);
    mSaveFilterSampleValues = true;
}

void NSOGL1DTextureViewController::actionFunctionChangedRequiresSaveSamples(QObject *sender) {
    if (mTextureView) mTextureView->setFilterChanged(true);
    mSaveFilterSampleValues = true;
    actionFunctionChanged(sender);
}

void NSOGL1DTextureViewController::menuWillOpen() {
    if (mTextureView) mTextureView->cancelMouseTrackingOperation();
}

void NSOGL1DTextureViewController::textureView1DScribbledAtSampleIndex(NSOGL1DTextureView *, uint32_t) {
    actionSamplesChangedRequiresSaveSamples(nullptr);
}

void NSOGL1DTextureViewController::synthesizedMousePointNormal(QPointF normal) {
    if (mTextureView) mTextureView->synthesizedTrackingNormal(normal);
}

QString NSOGL1DTextureViewController::filterValues() const {
    const auto filter = mTextureView ? mTextureView->filter() : nullptr;
    return filter ? filter->stringValues() : QString();
}

void NSOGL1DTextureViewController::setFilterValues(const QString &text) {
    if (!mTextureView || text.isEmpty()) return;  // nothing to read: the quantization stays
    setQuantizationAmount(NSOGL1DTextureView::quantizationAmountForValuesCount(
        uint32_t(std::min<qsizetype>(text.size(), NSOGL1DFilterValues::kMaximumValuesCount))));
    if (const auto filter = mTextureView->filter()) filter->setStringValues(text);
    mTextureView->setFilterChanged(true);
}

QString NSOGL1DTextureViewController::filterSampleValues() const {
    const auto filter = mTextureView ? mTextureView->filter() : nullptr;
    return filter ? filter->stringSampleValues() : QString();
}

void NSOGL1DTextureViewController::setFilterSampleValues(const QString &text) {
    if (!mTextureView) return;
    // Validated whole before anything changes.
    const auto samples = NSOGL1DFilterValues::decodeStringSampleValues(text);
    if (!samples || samples->empty()) return;
    setQuantizationAmount(NSOGL1DTextureView::quantizationAmountForValuesCount(uint32_t(samples->size())));
    mSaveFilterSampleValues = true;
    if (const auto filter = mTextureView->filter()) filter->setStringSampleValues(text);
    mTextureView->setFilterChanged(true);
}

CGImageRef NSOGL1DTextureViewController::texturePreviewImageVertical() const {
    const auto filter = mTextureView ? mTextureView->filter() : nullptr;
    return filter ? filter->createTextureImage1DVertical() : nullptr;
}

CGImageRef NSOGL1DTextureViewController::texturePreviewImageHorizontal() const {
    const auto filter = mTextureView ? mTextureView->filter() : nullptr;
    return filter ? filter->createTextureImage1DHorizontal() : nullptr;
}

QString NSOGL1DTextureViewController::desktopFolderPath() { return QDir::homePath() + QStringLiteral("/Desktop"); }

QString NSOGL1DTextureViewController::desktopSnapshotPath() {
    const QByteArray folder = QFile::encodeName(desktopFolderPath());
    CoreNumberedFilename names;
    if (!names.Construct(folder.constData())) return QString();
    char path[CoreNumberedFilename::kPathBufferSize];
    int number = 0;
    if (!names.FindFirstAvailableNamedPathNumber(path, "Texture1D %02d", "pdf", number)) return QString();
    if (number == 0) {
        // Snapshots are numbered from 01: keep 00 claimed while the next free name is claimed.
        char next[CoreNumberedFilename::kPathBufferSize];
        const bool found = names.FindFirstAvailableNamedPathNumber(next, "Texture1D %02d", "pdf", number);
        CoreNumberedFilename::ReleaseClaimedPath(path);
        if (!found) return QString();
        return QFile::decodeName(next);
    }
    return QFile::decodeName(path);
}

bool NSOGL1DTextureViewController::writePDFSnapshot(const QString &path, const NSOGL1DFilterValues &samples,
                                                    bool vertical, QSizeF size) {
    UFLayeredPDFContext pdf(QUrl::fromLocalFile(path), CGSizeMake(size.width(), size.height()));
    if (!pdf.isValidContext()) return false;
    pdf.beginPageDraw([&](CGContextRef context, CGRect rect) {
        const CGFloat black[4] = {0, 0, 0, 1};
        NSOGL1DTextureView::drawGraphWithBounds(context, rect, samples, vertical, nullptr, black);
    });
    pdf.endPageDraw(nullptr);
    return true;
}

void NSOGL1DTextureViewController::actionPDFSnapshot(QObject *) {
    if (!mTextureView) return;
    const auto filter = mTextureView->filter();
    if (filter == nullptr) return;
    // The samples are copied here: the main thread may edit the filter while the page is drawn.
    auto samples = std::make_shared<NSOGL1DFilterValues>(0.0f, 0);
    samples->setStringSampleValues(filter->stringSampleValues());
    const bool vertical = mTextureView->isVertical();
    const QSizeF size = mTextureView->size();
    {
        const std::lock_guard lock(gSnapshotLock);
        ++gSnapshotsPending;
    }
    SnapshotPool().start([samples, vertical, size] {
        const QString path = desktopSnapshotPath();
        if (!path.isEmpty() && !writePDFSnapshot(path, *samples, vertical, size))
            CoreNumberedFilename::ReleaseClaimedPath(QFile::encodeName(path).constData());
        const std::lock_guard lock(gSnapshotLock);
        --gSnapshotsPending;
        gSnapshotDone.notify_all();
    });
}

void NSOGL1DTextureViewController::waitForPDFSnapshots() {
    std::unique_lock lock(gSnapshotLock);
    gSnapshotDone.wait(lock, [] { return gSnapshotsPending == 0; });
}

// ---- NSOGLTexture1DViewNibbler --------------------------------------------------------------

NSOGLTexture1DViewNibbler::NSOGLTexture1DViewNibbler(QWidget *parent)
    : NSUIViewNibbler(parent), mController(std::make_unique<NSOGL1DTextureViewController>()) {
    setDefaultNibName(QString());  // view and controller are made here
    auto *view = new NSOGL1DTextureView(this);
    mTextureView = view;
    mController->setOutletTextureView(view);
    mController->awakeFromNib();
    setNibblerView(view);
    setNibblerController(mController.get());
    installNibblerSubView();
}

NSOGLTexture1DViewNibbler::~NSOGLTexture1DViewNibbler() = default;

QSet<QString> NSOGLTexture1DViewNibbler::textureFilterKeyPaths() {
    return {QStringLiteral("quantizeStringValue"),      QStringLiteral("typeStringValue"),
            QStringLiteral("frequencyStringValue"),     QStringLiteral("phaseStringValue"),
            QStringLiteral("amplitudeStringValue"),     QStringLiteral("filterStringValue"),
            QStringLiteral("filterSamplesStringValue"), QStringLiteral("textureViewController.saveFilterSampleValues")};
}

QString NSOGLTexture1DViewNibbler::quantizeStringValue() const {
    return QString::asprintf("%d", int(mController->quantizationAmount()));
}

void NSOGLTexture1DViewNibbler::setQuantizeStringValue(const QString &text) {
    bool ok = false;
    const int q = text.trimmed().toInt(&ok);
    if (ok) mController->setQuantizationAmount(unsigned(std::max(q, 0)));
}

QString NSOGLTexture1DViewNibbler::typeStringValue() const {
    return QString::asprintf("%d", int(mController->selectedFn()));
}

void NSOGLTexture1DViewNibbler::setTypeStringValue(const QString &text) {
    bool ok = false;
    const int fn = text.trimmed().toInt(&ok);
    if (ok && fn >= 0 && fn < int(NSOGL1DTextureViewController::functionNames().size()))
        mController->setSelectedFn(unsigned(fn));
}

namespace {

bool ReadFloat(const QString &text, float &out) {
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(value)) return false;
    out = value;
    return true;
}

}  // namespace

QString NSOGLTexture1DViewNibbler::frequencyStringValue() const {
    return QString::asprintf("%1.6f", double(mController->fnFrequency()));
}

void NSOGLTexture1DViewNibbler::setFrequencyStringValue(const QString &text) {
    float f;
    if (ReadFloat(text, f)) mController->setFnFrequency(f);
}

QString NSOGLTexture1DViewNibbler::phaseStringValue() const {
    return QString::asprintf("%1.6f", double(mController->fnPhase()));
}

void NSOGLTexture1DViewNibbler::setPhaseStringValue(const QString &text) {
    float p;
    if (ReadFloat(text, p)) mController->setFnPhase(p);
}

QString NSOGLTexture1DViewNibbler::amplitudeStringValue() const {
    return QString::asprintf("%1.6f", double(mController->fnAmplitude()));
}

void NSOGLTexture1DViewNibbler::setAmplitudeStringValue(const QString &text) {
    float a;
    if (ReadFloat(text, a)) mController->setFnAmplitude(a);
}

QString NSOGLTexture1DViewNibbler::filterStringValue() const {
    return mController->saveFilterSampleValues() ? mController->filterValues() : QString();
}

void NSOGLTexture1DViewNibbler::setFilterStringValue(const QString &text) {
    if (mRestoring) mRestoredLetters = text;  // applied at the end unless the samples came too
    else mController->setFilterValues(text);
}

QString NSOGLTexture1DViewNibbler::filterSamplesStringValue() const {
    return mController->saveFilterSampleValues() ? mController->filterSampleValues() : QString();
}

void NSOGLTexture1DViewNibbler::setFilterSamplesStringValue(const QString &text) {
    mController->setFilterSampleValues(text);
    if (mRestoring && NSOGL1DFilterValues::decodeStringSampleValues(text).has_value()) mRestoredSamples = true;
}

QString NSOGLTexture1DViewNibbler::saveSamplesStringValue() const {
    return QString::asprintf("%d", mController->saveFilterSampleValues() ? 1 : 0);
}

void NSOGLTexture1DViewNibbler::setSaveSamplesStringValue(const QString &text) {
    const bool save = text.trimmed().toInt() != 0;
    mController->setSaveFilterSampleValues(save);
    if (!save) mController->reconstructWaveFormFromParameters();
}

QSet<QString> NSOGLTexture1DViewNibbler::favoritesKeyPathsForSerialization(QObject *) {
    return textureFilterKeyPaths();
}

QString NSOGLTexture1DViewNibbler::favoritesSerializationKey(QObject *) {
    return QString::fromLatin1(metaObject()->className());
}

QString NSOGLTexture1DViewNibbler::favoritesNameForNewBookmark(QObject *) {
    return mController ? mController->localizedSummary() : QStringLiteral("f(x)");
}

void NSOGLTexture1DViewNibbler::favoritesWillChangeKeyPathValues(QObject *) {
    mRestoring = true;
    mRestoredSamples = false;
    mRestoredLetters.reset();
    mController->setRestoringPreset(true);
}

void NSOGLTexture1DViewNibbler::favoritesDidChangeKeyPathValues(QObject *) {
    mController->setRestoringPreset(false);
    mRestoring = false;
    // The exact samples win over their letters, whatever order the key paths came in.
    if (!mRestoredSamples && mRestoredLetters) mController->setFilterValues(*mRestoredLetters);
    mRestoredLetters.reset();
    if (!mController->saveFilterSampleValues()) mController->reconstructWaveFormFromParameters();
}

CGImageRef NSOGLTexture1DViewNibbler::textureImage1D() const {
    return mTextureView ? mTextureView->textureImage1D() : nullptr;
}

void NSOGLTexture1DViewNibbler::actionPDFSnapshot(QObject *sender) { mController->actionPDFSnapshot(sender); }

// ---- NSOGL1DFilterKeyPathPreset -------------------------------------------------------------

NSOGL1DFilterKeyPathPreset::NSOGL1DFilterKeyPathPreset() = default;

bool import_NSOGL1DTextureView() {
    return import_NSOGL1DFilterValues() && import_NSUIViewNibbler() && import_UFLayeredPDFContext() &&
           import_CoreNumberedFilename() && import_NSView_NormalizedMouse();
}
