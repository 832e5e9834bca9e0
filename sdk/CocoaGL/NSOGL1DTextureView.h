// The 1-D filter editor.
//
// NSOGL1DTextureView shows a filter (NSOGL1DFilterValues) as bars and is scribbled on with the
// mouse. NSOGL1DTextureViewController generates the curve from a function picker with
// amplitude, frequency and phase, and writes PDF snapshots of the graph. NSOGLTexture1DViewNibbler
// exposes everything as string-valued key paths for presets and bookmarks
// (NSOGL1DFilterKeyPathPreset).
//
// Quantization q (1..8) gives 2^q samples (256 at most); a new view has q = 8 and 256 samples
// of 0.5. A view taller than wide is vertical: its sample index runs along y.
//
// Normalised points are graph points: x to the right and y up, 0..1 across the bounds (Qt's
// y down is turned over), so that a value of 1 is the top of a horizontal view. A point of
// (0, 0) means none.
//
// Loading text never changes the quantization unless the text is read: a bad hexadecimal form,
// a null or empty letter text leave the filter and its quantization as they were.
#pragma once

#include <CocoaGL/NSOGL1DFilterValues.h>

#include <CoreGraphics/CGContext.h>
#include <Foundation/NSObject.h>
#include <CocoaFoundation/NSUIKeyPathsPresetsController.h>
#include <UICocoaViews/NSUIViewNibbler.h>

#include <QColor>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class QMouseEvent;
class QPainter;
class NSOGL1DTextureView;

// The view's delegate hears of each scribbled sample.
class NSOGL1DTextureViewDelegate {
public:
    virtual ~NSOGL1DTextureViewDelegate() = default;
    virtual void textureView1DScribbledAtSampleIndex(NSOGL1DTextureView *view, uint32_t index) = 0;
};

class NSOGL1DTextureView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(uint quantizationAmount READ quantizationAmount WRITE setQuantizationAmount NOTIFY quantizationAmountChanged)
    Q_PROPERTY(bool filterChanged READ filterChanged WRITE setFilterChanged NOTIFY filterChangedChanged)
    Q_PROPERTY(bool isVertical READ isVertical NOTIFY isVerticalChanged)

public:
    static constexpr unsigned kQuantizationMinimum = 1;
    static constexpr unsigned kQuantizationMaximum = 8;
    // Mouse button codes of updateTrackingNormal.
    enum : unsigned { kButtonUp = 0, kButtonDown = 1, kButtonDragged = 2, kButtonMoved = ~0u };

    Q_INVOKABLE explicit NSOGL1DTextureView(QWidget *parent = nullptr);
    ~NSOGL1DTextureView() override;

    // 2^q, q limited to 1..8.
    static uint32_t valuesCountForQuantizationAmount(unsigned q);
    // int(log2(min(n, 256))); 0 for n = 0.
    static unsigned quantizationAmountForValuesCount(uint32_t n);

    NSOGL1DTextureViewDelegate *delegate() const { return mDelegate; }
    void setDelegate(NSOGL1DTextureViewDelegate *delegate) { mDelegate = delegate; }

    std::shared_ptr<NSOGL1DFilterValues> filter() const;
    void setFilter(std::shared_ptr<NSOGL1DFilterValues> filter);

    unsigned quantizationAmount() const { return mQuantizationAmount; }
    // Limited to 1..8; when it changes and the count differs, setValuesCount(2^q).
    void setQuantizationAmount(unsigned q);
    // Replaces the filter by a resampling of it to n samples and marks it changed.
    void setValuesCount(uint32_t n);

    bool filterChanged() const { return mTextureDirtyValue; }
    // Sets the dirty value; true asks for a redraw.
    void setFilterChanged(bool changed);
    bool isVertical() const { return mCachedIsVertical; }

    // The cached grey image, rebuilt first when dirty or missing (vertical or horizontal as the
    // view is); the dirty value is then cleared. The view keeps its reference.
    CGImageRef textureImage1D();
    // A new reference to the cached image (null when none); thread-safe.
    CGImageRef cachedTextureImage1DCopy() const;

    // The scribble step without the mouse; marks the filter changed when a sample changed.
    void synthesizedTrackingNormal(QPointF normal);
    void updateTrackingNormal(QPointF normal, unsigned button);
    // Sets samples along the line from the last point; answers whether a sample changed.
    bool setInterpolatedPointValues(QPointF normal);
    // The event's point in graph coordinates, shifted by half a sample cell; (0, 0) for null.
    QPointF quantizedNormalizedPointFromEvent(const QMouseEvent *event) const;
    bool isMouseTracking() const { return mIsMouseTracking; }
    void cancelMouseTrackingOperation();

    // The graph of a filter in a rectangle of y-up coordinates (the PDF snapshot), or of the
    // view's own filter in the view (y down) when drawn by paintEvent.
    static void drawGraphWithBounds(CGContextRef context, CGRect rect, const NSOGL1DFilterValues &filter,
                                    bool vertical, const CGFloat *halfColor, const CGFloat *barColor);
    void drawGraphWithBounds(QPainter &painter, const QRectF &rect, const QColor *halfColor,
                             const QColor &barColor) const;

signals:
    void quantizationAmountChanged();
    void filterChangedChanged();
    void isVerticalChanged();
    void textureImage1DChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setCachedTextureImage1D(CGImageRef image);
    QPointF lastPointOrNone() const { return mLastPoint; }

    NSOGL1DTextureViewDelegate *mDelegate = nullptr;
    bool mWasTracking = false;
    bool mIsMouseTracking = false;
    bool mTextureDirtyValue = true;
    bool mCachedIsVertical = false;
    QPointF mLastPoint;
    mutable std::mutex mImageLock;
    CGImageRef mCachedTextureImage1D = nullptr;
    mutable std::mutex mFilterLock;
    std::shared_ptr<NSOGL1DFilterValues> mFilter;
    unsigned mQuantizationAmount = kQuantizationMaximum;
};

class NSOGL1DTextureViewController : public NSObject, public NSOGL1DTextureViewDelegate {
    Q_OBJECT
    Q_PROPERTY(QObject *outletTextureView READ outletTextureViewObject WRITE setOutletTextureViewObject NOTIFY outletTextureViewChanged)
    Q_PROPERTY(bool liveUpdates READ liveUpdates WRITE setLiveUpdates)
    Q_PROPERTY(float fnAmplitude READ fnAmplitude WRITE setFnAmplitude NOTIFY parametersChanged)
    Q_PROPERTY(float fnFrequencyCoarse READ fnFrequencyCoarse WRITE setFnFrequencyCoarse NOTIFY parametersChanged)
    Q_PROPERTY(float fnFrequencyFine READ fnFrequencyFine WRITE setFnFrequencyFine NOTIFY parametersChanged)
    Q_PROPERTY(float fnFrequency READ fnFrequency WRITE setFnFrequency NOTIFY parametersChanged)
    Q_PROPERTY(float fnPhase READ fnPhase WRITE setFnPhase NOTIFY parametersChanged)
    Q_PROPERTY(uint selectedFn READ selectedFn WRITE setSelectedFn NOTIFY parametersChanged)
    Q_PROPERTY(QString selectedFnName READ selectedFnName NOTIFY parametersChanged)
    Q_PROPERTY(bool saveFilterSampleValues READ saveFilterSampleValues WRITE setSaveFilterSampleValues)
    Q_PROPERTY(uint quantizationAmount READ quantizationAmount WRITE setQuantizationAmount)
    Q_PROPERTY(QString filterValues READ filterValues WRITE setFilterValues)
    Q_PROPERTY(QString filterSampleValues READ filterSampleValues WRITE setFilterSampleValues)

public:
    static constexpr float kFrequencyScale = 62.83185307179586f;
    static constexpr float kFineFrequencyRange = 0.05f;
    static constexpr float kStepValue = 0.0625f;

    Q_INVOKABLE explicit NSOGL1DTextureViewController(QObject *parent = nullptr);
    ~NSOGL1DTextureViewController() override;

    NSOGL1DTextureView *outletTextureView() const { return mTextureView.data(); }
    void setOutletTextureView(NSOGL1DTextureView *view);
    QObject *outletTextureViewObject() const { return mTextureView.data(); }
    void setOutletTextureViewObject(QObject *view) { setOutletTextureView(qobject_cast<NSOGL1DTextureView *>(view)); }

    // Quantization 8 and the view's delegate.
    void awakeFromNib();

    static QStringList functionNames();
    unsigned quantizationMinimum() const { return NSOGL1DTextureView::kQuantizationMinimum; }
    unsigned quantizationMaximum() const { return NSOGL1DTextureView::kQuantizationMaximum; }
    unsigned quantizationAmount() const;
    void setQuantizationAmount(unsigned q);

    bool liveUpdates() const { return mLiveUpdates; }
    void setLiveUpdates(bool live) { mLiveUpdates = live; }
    float fnAmplitude() const { return mFnAmplitude; }
    void setFnAmplitude(float a);
    float fnFrequencyCoarse() const { return mFnFrequencyCoarse; }
    void setFnFrequencyCoarse(float f);
    float fnFrequencyFine() const { return mFnFrequencyFine; }
    void setFnFrequencyFine(float f);
    // coarse + (fine - 0.5) x 0.05; setting puts fine at 0.5 and coarse at the value.
    float fnFrequency() const;
    void setFnFrequency(float f);
    // fnFrequency^3 x 62.83185307179586.
    float functionFrequency() const;
    float fnPhase() const { return mFnPhase; }
    void setFnPhase(float p);
    unsigned selectedFn() const { return mSelectedFn; }
    // When it changes: stores it and runs actionFunctionChanged on the main thread, later;
    // while a preset is being restored it is only stored (the restore's end rebuilds the curve
    // unless the preset brought its own samples, whatever order its key paths come in).
    void setSelectedFn(unsigned fn);
    bool saveFilterSampleValues() const { return mSaveFilterSampleValues; }
    void setRestoringPreset(bool restoring) { mRestoringPreset = restoring; }
    void setSaveFilterSampleValues(bool save) { mSaveFilterSampleValues = save; }

    QString selectedFnName() const;
    QString localizedTitle() const;
    QString localizedSummary() const;

    // Actions.
    Q_INVOKABLE void actionFunctionChanged(QObject *sender = nullptr);
    Q_INVOKABLE void actionFunctionChangedUnconditional(QObject *sender = nullptr);
    Q_INVOKABLE void reconstructWaveFormFromParameters();
    Q_INVOKABLE void actionFrequencyCoarseChanged(QObject *sender = nullptr);
    Q_INVOKABLE void actionIncreaseFilterValues(QObject *sender = nullptr);
    Q_INVOKABLE void actionDecreaseFilterValues(QObject *sender = nullptr);
    Q_INVOKABLE void actionMultiplyFilterValues(QObject *sender = nullptr);
    Q_INVOKABLE void actionDivideFilterValues(QObject *sender = nullptr);
    Q_INVOKABLE void actionNormalizeValues(QObject *sender = nullptr);
    Q_INVOKABLE void actionSamplesChangedRequiresSaveSamples(QObject *sender = nullptr);
    Q_INVOKABLE void actionFunctionChangedRequiresSaveSamples(QObject *sender = nullptr);
    Q_INVOKABLE void actionPDFSnapshot(QObject *sender = nullptr);
    void menuWillOpen();

    void textureView1DScribbledAtSampleIndex(NSOGL1DTextureView *view, uint32_t index) override;
    void synthesizedMousePointNormal(QPointF normal);

    // The letter form. Setting a non-empty text sets the quantization from its length first.
    QString filterValues() const;
    void setFilterValues(const QString &text);
    // The hexadecimal form. Setting a valid block of n > 0 samples sets the quantization from
    // n, sets the save-samples flag and loads the samples; anything else changes nothing.
    QString filterSampleValues() const;
    void setFilterSampleValues(const QString &text);

    // The grey image of the filter at its pixel size (null without a view). The caller releases.
    CGImageRef texturePreviewImageVertical() const;
    CGImageRef texturePreviewImageHorizontal() const;

    // "~/Desktop" expanded: the folder of the snapshots.
    static QString desktopFolderPath();
    // Claims the first free "Texture1D %02d.pdf" (numbers from 01) in the desktop folder and
    // answers its path; empty when none could be claimed.
    static QString desktopSnapshotPath();
    // Writes the graph of a copy of the samples (bars in black) as one page into the path.
    static bool writePDFSnapshot(const QString &path, const NSOGL1DFilterValues &samples, bool vertical,
                                 QSizeF size);
    // For tests: waits until the snapshots begun so far are written.
    static void waitForPDFSnapshots();

signals:
    void outletTextureViewChanged();
    void parametersChanged();

private:
    void runSelectedGenerator(NSOGL1DFilterValues &filter) const;

    QPointer<NSOGL1DTextureView> mTextureView;
    bool mLiveUpdates = true;
    float mFnAmplitude = 0.5f;
    float mFnFrequencyCoarse = 0.5f;
    float mFnFrequencyFine = 0.5f;
    float mFnPhase = 0.0f;
    std::atomic<unsigned> mSelectedFn{0};
    bool mSaveFilterSampleValues = false;
    bool mRestoringPreset = false;
};

// The preset and bookmark face of the editor. Its view and controller are made with it (the
// nib's layout is not needed for the key paths).
class NSOGLTexture1DViewNibbler : public NSUIViewNibbler {
    Q_OBJECT
    Q_PROPERTY(QObject *textureView READ textureViewObject CONSTANT)
    Q_PROPERTY(QObject *textureViewController READ textureViewControllerObject CONSTANT)
    Q_PROPERTY(QString quantizeStringValue READ quantizeStringValue WRITE setQuantizeStringValue)
    Q_PROPERTY(QString typeStringValue READ typeStringValue WRITE setTypeStringValue)
    Q_PROPERTY(QString frequencyStringValue READ frequencyStringValue WRITE setFrequencyStringValue)
    Q_PROPERTY(QString phaseStringValue READ phaseStringValue WRITE setPhaseStringValue)
    Q_PROPERTY(QString amplitudeStringValue READ amplitudeStringValue WRITE setAmplitudeStringValue)
    Q_PROPERTY(QString filterStringValue READ filterStringValue WRITE setFilterStringValue)
    Q_PROPERTY(QString filterSamplesStringValue READ filterSamplesStringValue WRITE setFilterSamplesStringValue)
    Q_PROPERTY(QString saveSamplesStringValue READ saveSamplesStringValue WRITE setSaveSamplesStringValue)

public:
    Q_INVOKABLE explicit NSOGLTexture1DViewNibbler(QWidget *parent = nullptr);
    ~NSOGLTexture1DViewNibbler() override;

    NSOGL1DTextureView *textureView() const { return mTextureView.data(); }
    NSOGL1DTextureViewController *textureViewController() const { return mController.get(); }
    QObject *textureViewObject() const { return mTextureView.data(); }
    QObject *textureViewControllerObject() const { return mController.get(); }

    static QSet<QString> textureFilterKeyPaths();

    QString quantizeStringValue() const;
    void setQuantizeStringValue(const QString &text);
    QString typeStringValue() const;
    void setTypeStringValue(const QString &text);
    QString frequencyStringValue() const;
    void setFrequencyStringValue(const QString &text);
    QString phaseStringValue() const;
    void setPhaseStringValue(const QString &text);
    QString amplitudeStringValue() const;
    void setAmplitudeStringValue(const QString &text);
    // Null while the save-samples flag is off.
    QString filterStringValue() const;
    void setFilterStringValue(const QString &text);
    QString filterSamplesStringValue() const;
    void setFilterSamplesStringValue(const QString &text);
    QString saveSamplesStringValue() const;
    // Setting 0 also rebuilds the curve from the parameters.
    void setSaveSamplesStringValue(const QString &text);

    // The preset source.
    Q_INVOKABLE QSet<QString> favoritesKeyPathsForSerialization(QObject *preset);
    Q_INVOKABLE QString favoritesSerializationKey(QObject *controller);
    Q_INVOKABLE QString favoritesNameForNewBookmark(QObject *preset);
    Q_INVOKABLE void favoritesWillChangeKeyPathValues(QObject *preset);
    // Rebuilds the curve from the parameters unless the save-samples flag is set.
    Q_INVOKABLE void favoritesDidChangeKeyPathValues(QObject *preset);

    CGImageRef textureImage1D() const;
    Q_INVOKABLE void actionPDFSnapshot(QObject *sender = nullptr);

private:
    QPointer<NSOGL1DTextureView> mTextureView;
    std::unique_ptr<NSOGL1DTextureViewController> mController;
    // A preset being restored: its letters wait for the end; its exact samples, once read, win.
    bool mRestoring = false;
    bool mRestoredSamples = false;
    std::optional<QString> mRestoredLetters;
};

// Presets of the editor, shown with the header "█" in black.
class NSOGL1DFilterKeyPathPreset : public NSUIKeyPathPreset {
    Q_OBJECT
    Q_PROPERTY(QString dominantHeader READ dominantHeader CONSTANT)
    Q_PROPERTY(QVariant dominantColor READ dominantColor STORED false)

public:
    NSOGL1DFilterKeyPathPreset();
    QString dominantHeader() const { return QStringLiteral("\u2588"); }
    QVariant dominantColor() const { return QColor(Qt::black); }
};

bool import_NSOGL1DTextureView();
