#include "LumoraFiltersPanel.h"

#include <AppKit/NSWindow.h>
#include <CocoaGL/NSOGL1DTextureView.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QMIDIController.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// The tool window: Escape closes it whatever control has the focus (a key event rather than a
// window shortcut, which needs the panel to be the active window).
class FiltersWindow : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void keyPressEvent(QKeyEvent *event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void showEvent(QShowEvent *event) override {
        QWidget::showEvent(event);
        if (shown) shown(true);
    }
    void hideEvent(QHideEvent *event) override {
        QWidget::hideEvent(event);
        if (shown) shown(false);
    }

public:
    std::function<void(bool)> shown;
};

// A curve view's fixed side across its axis, and its least length along it: the editor draws
// the bars of 256 samples thinner than a pixel below 1.5 pixels a sample.
constexpr int kCurveThickness = 96;
constexpr int kCurveLength = 384;
// How often the amounts are read back from the render buffer while the panel shows (a bookmark
// or preset may set them).
constexpr int kAmountPollMilliseconds = 250;

int SliderValue(double normal) {
    if (!std::isfinite(normal)) return 0;
    return int(std::lround(std::clamp(normal, 0.0, 1.0) * LumoraFiltersPanel::kSliderSteps));
}

double Normal(int value) { return double(value) / LumoraFiltersPanel::kSliderSteps; }

QString NormalText(double normal) { return QString::number(normal, 'f', 2); }

void Describe(QWidget *control, const QString &name, const QString &tip) {
    control->setAccessibleName(name);
    control->setToolTip(tip);
}

QSlider *MakeSlider(QWidget *parent, const QString &objectName, const QString &name, const QString &tip) {
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(objectName);
    slider->setRange(0, LumoraFiltersPanel::kSliderSteps);
    slider->setSingleStep(10);
    slider->setPageStep(100);
    slider->setFocusPolicy(Qt::StrongFocus);
    slider->setMinimumWidth(160);
    Describe(slider, name, tip);
    return slider;
}

QLabel *MakeValueLabel(QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("256 samples")));
    return label;
}

}  // namespace

LumoraFiltersPanel::LumoraFiltersPanel(QWidget *parent) {
    auto *window = new FiltersWindow(parent, Qt::Tool);
    mWindow = window;
    window->setObjectName(QStringLiteral("filtersPanel"));
    window->setWindowTitle(tr("1-D Filters"));
    window->setAccessibleName(tr("1-D Filters"));
    window->setToolTip(tr("The vertical and horizontal 1-D filters the effects receive (Escape closes)"));
    auto *layout = new QVBoxLayout(window);
    layout->setObjectName(QStringLiteral("filtersLayout"));
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);

    mVertical.vertical = true;
    buildSection(mVertical);
    layout->addSpacing(8);
    buildSection(mHorizontal);
    connectSection(mVertical);
    connectSection(mHorizontal);
    refreshSection(mVertical);
    refreshSection(mHorizontal);

    auto *poll = new QTimer(window);
    poll->setInterval(kAmountPollMilliseconds);
    const auto refresh = [this] {
        refreshSection(mVertical);
        refreshSection(mHorizontal);
    };
    connect(poll, &QTimer::timeout, this, refresh);
    // The amounts are read back only while the panel shows, at once when it opens.
    window->shown = [poll, refresh](bool shown) {
        if (!shown) {
            poll->stop();
            return;
        }
        refresh();
        poll->start();
    };

    window->adjustSize();
    NSWindow::setFrameUsingName(window, QString::fromLatin1(kFrameKey));
    NSNotificationCenter &centre = NSNotificationCenter::defaultCenter();
    centre.addObserver(this, "applicationDidFinishLaunching", QString::fromLatin1(NSApplicationDidFinishLaunchingNotification), nullptr);
    centre.addObserver(this, "applicationWillTerminate", QString::fromLatin1(NSApplicationWillTerminateNotification), nullptr);
}

LumoraFiltersPanel::~LumoraFiltersPanel() {
    NSNotificationCenter::defaultCenter().removeObserver(this);
    delete mWindow.data();
}

NSOGLTexture1DViewNibbler *LumoraFiltersPanel::verticalFilter() const { return mVertical.nibbler.data(); }
NSOGLTexture1DViewNibbler *LumoraFiltersPanel::horizontalFilter() const { return mHorizontal.nibbler.data(); }

void LumoraFiltersPanel::buildSection(Section &section) {
    QWidget *window = mWindow.data();
    auto *layout = qobject_cast<QVBoxLayout *>(window->layout());
    const QString prefix = section.vertical ? QStringLiteral("vertical") : QStringLiteral("horizontal");
    const QString title = section.vertical ? tr("Vertical filter") : tr("Horizontal filter");
    const auto name = [&prefix](const char *part) { return prefix + QLatin1String(part); };

    auto *header = new QLabel(QStringLiteral("<b>%1</b>").arg(title), window);
    header->setObjectName(prefix + QStringLiteral("Header"));
    header->setAccessibleName(title);
    layout->addWidget(header);

    auto *grid = new QGridLayout;
    grid->setObjectName(prefix + QStringLiteral("Layout"));
    grid->setContentsMargins(12, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    layout->addLayout(grid);

    // The editor: a view taller than wide for the vertical filter, wider than tall otherwise.
    auto *nibbler = new NSOGLTexture1DViewNibbler(window);
    nibbler->setObjectName(prefix + QStringLiteral("Filter"));
    section.nibbler = nibbler;
    if (section.vertical) {
        nibbler->setFixedWidth(kCurveThickness);
        nibbler->setMinimumHeight(kCurveLength);
        nibbler->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    } else {
        nibbler->setFixedHeight(kCurveThickness);
        nibbler->setMinimumWidth(kCurveLength);
        nibbler->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    const QString curveTip = section.vertical
                                 ? tr("The vertical filter's curve, top to bottom: draw on it with the mouse")
                                 : tr("The horizontal filter's curve, left to right: draw on it with the mouse");
    Describe(nibbler, tr("%1 curve").arg(title), curveTip);
    if (QWidget *view = nibbler->textureView()) Describe(view, tr("%1 curve").arg(title), curveTip);

    int row = 0;
    // The horizontal curve spans the section; its controls keep the columns of the vertical
    // section's, beside whose curve they stand.
    if (!section.vertical) {
        grid->addWidget(nibbler, row++, 0, 1, 4);
        grid->setColumnMinimumWidth(3, kCurveThickness);
    }
    const int firstControlRow = row;
    const auto addRow = [&](const QString &label, QWidget *control, QLabel *value) {
        auto *caption = new QLabel(label, window);
        caption->setBuddy(control);
        grid->addWidget(caption, row, 0);
        grid->addWidget(control, row, 1);
        if (value != nullptr) grid->addWidget(value, row, 2);
        ++row;
    };

    section.function = new QComboBox(window);
    section.function->setObjectName(prefix + QStringLiteral("FunctionPopup"));
    section.function->addItems(NSOGL1DTextureViewController::functionNames());
    section.function->setFocusPolicy(Qt::StrongFocus);
    section.function->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Describe(section.function, tr("%1 function").arg(title), tr("The function that makes the curve"));
    addRow(tr("&Function"), section.function, nullptr);

    section.amplitude = MakeSlider(window, name("AmplitudeSlider"), tr("%1 amplitude").arg(title),
                                   tr("The height of the function's wave"));
    section.amplitudeValue = MakeValueLabel(window);
    addRow(tr("&Amplitude"), section.amplitude, section.amplitudeValue);

    section.frequencyCoarse = MakeSlider(window, name("FrequencyCoarseSlider"), tr("%1 frequency").arg(title),
                                         tr("How many waves the curve holds (the fine setting goes back to its middle)"));
    section.frequencyCoarseValue = MakeValueLabel(window);
    addRow(tr("F&requency"), section.frequencyCoarse, section.frequencyCoarseValue);

    section.frequencyFine = MakeSlider(window, name("FrequencyFineSlider"), tr("%1 fine frequency").arg(title),
                                       tr("A small change of the frequency around the coarse setting"));
    section.frequencyFineValue = MakeValueLabel(window);
    addRow(tr("Fi&ne"), section.frequencyFine, section.frequencyFineValue);

    section.phase = MakeSlider(window, name("PhaseSlider"), tr("%1 phase").arg(title), tr("Where the wave starts"));
    section.phaseValue = MakeValueLabel(window);
    addRow(tr("&Phase"), section.phase, section.phaseValue);

    section.quantization = new QSpinBox(window);
    section.quantization->setObjectName(prefix + QStringLiteral("QuantizationStepper"));
    section.quantization->setRange(int(NSOGL1DTextureView::kQuantizationMinimum), int(NSOGL1DTextureView::kQuantizationMaximum));
    section.quantization->setFocusPolicy(Qt::StrongFocus);
    section.quantization->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    section.quantization->setMinimumWidth(72);
    Describe(section.quantization, tr("%1 quantization").arg(title),
             tr("The curve's resolution: 2 to the power of this many samples (2 to 256)"));
    section.quantizationValue = MakeValueLabel(window);
    addRow(tr("&Quantization"), section.quantization, section.quantizationValue);
    grid->setAlignment(section.quantization, Qt::AlignLeft);

    section.amount = MakeSlider(window, name("AmountSlider"), tr("%1 amount").arg(title),
                                tr("How strongly the effect applies the filter"));
    section.amountValue = MakeValueLabel(window);
    section.amount->setEnabled(false);  // until a render buffer is joined
    addRow(tr("A&mount"), section.amount, section.amountValue);

    grid->setColumnStretch(1, 1);
    if (section.vertical) {
        // The rows keep their height beside the tall curve; the room left is under them.
        grid->setRowStretch(row, 1);
        grid->addWidget(nibbler, firstControlRow, 3, row + 1 - firstControlRow, 1);
    }
}

void LumoraFiltersPanel::connectSection(Section &section) {
    NSOGLTexture1DViewNibbler *nibbler = section.nibbler.data();
    NSOGL1DTextureViewController *controller = nibbler->textureViewController();
    Section *s = &section;
    // The controls set the controller's parameters and rebuild the curve from them.
    connect(section.function, &QComboBox::currentIndexChanged, controller, [controller](int index) {
        if (index < 0) return;
        if (controller->selectedFn() == unsigned(index)) controller->actionFunctionChanged();
        else controller->setSelectedFn(unsigned(index));
    });
    const struct {
        QSlider *slider;
        void (NSOGL1DTextureViewController::*set)(float);
        bool coarse;
    } sliders[] = {
        {section.amplitude, &NSOGL1DTextureViewController::setFnAmplitude, false},
        {section.frequencyCoarse, &NSOGL1DTextureViewController::setFnFrequencyCoarse, true},
        {section.frequencyFine, &NSOGL1DTextureViewController::setFnFrequencyFine, false},
        {section.phase, &NSOGL1DTextureViewController::setFnPhase, false},
    };
    for (const auto &row : sliders) {
        auto set = row.set;
        const bool coarse = row.coarse;
        connect(row.slider, &QSlider::valueChanged, controller, [controller, set, coarse](int value) {
            (controller->*set)(float(Normal(value)));
            if (coarse) controller->actionFrequencyCoarseChanged();
            else controller->actionFunctionChanged();
        });
    }
    connect(section.quantization, &QSpinBox::valueChanged, controller, [controller](int q) {
        if (q < 1 || unsigned(q) == controller->quantizationAmount()) return;
        controller->setQuantizationAmount(unsigned(q));
        // A curve made by its function is made again at the new resolution; drawn samples are resampled.
        if (!controller->saveFilterSampleValues()) controller->actionFunctionChanged();
    });
    connect(section.amount, &QSlider::valueChanged, this, [this, s](int value) { setAmount(*s, Normal(value)); });

    // What a bookmark, a preset or the editor itself changes shows in the controls.
    connect(controller, &NSOGL1DTextureViewController::parametersChanged, this, [this, s] { refreshSection(*s); });
    if (NSOGL1DTextureView *view = nibbler->textureView())
        connect(view, &NSOGL1DTextureView::quantizationAmountChanged, this, [this, s] { refreshSection(*s); });
}

void LumoraFiltersPanel::refreshSection(Section &section) {
    NSOGLTexture1DViewNibbler *nibbler = section.nibbler.data();
    if (nibbler == nullptr) return;
    const NSOGL1DTextureViewController *controller = nibbler->textureViewController();
    const auto show = [](QSlider *slider, QLabel *label, double normal) {
        if (slider->isSliderDown()) return;  // the user's hand wins
        const QSignalBlocker blocker(slider);
        slider->setValue(SliderValue(normal));
        label->setText(NormalText(Normal(slider->value())));
    };
    {
        const QSignalBlocker blocker(section.function);
        section.function->setCurrentIndex(int(controller->selectedFn()));
    }
    show(section.amplitude, section.amplitudeValue, controller->fnAmplitude());
    show(section.frequencyCoarse, section.frequencyCoarseValue, controller->fnFrequencyCoarse());
    show(section.frequencyFine, section.frequencyFineValue, controller->fnFrequencyFine());
    show(section.phase, section.phaseValue, controller->fnPhase());
    {
        const QSignalBlocker blocker(section.quantization);
        section.quantization->setValue(int(controller->quantizationAmount()));
    }
    section.quantizationValue->setText(
        tr("%1 samples").arg(NSOGL1DTextureView::valuesCountForQuantizationAmount(controller->quantizationAmount())));
    section.amount->setEnabled(mBuffer != nullptr);
    if (mBuffer) show(section.amount, section.amountValue, amount(section));
    else section.amountValue->setText(QString());
}

double LumoraFiltersPanel::amount(const Section &section) const {
    if (!mBuffer) return 0.0;
    return (section.vertical ? mBuffer->inputEffectTex1DYAmount() : mBuffer->inputEffectTex1DXAmount()).toDouble();
}

void LumoraFiltersPanel::setAmount(const Section &section, double normal) {
    if (mBuffer) {
        if (section.vertical) mBuffer->setInputEffectTex1DYAmount(normal);
        else mBuffer->setInputEffectTex1DXAmount(normal);
    }
    section.amountValue->setText(NormalText(normal));
}

void LumoraFiltersPanel::join(LumoraRenderBuffer *buffer, NSUILumoraView *view, QMIDIController *midi) {
    NSOGLTexture1DViewNibbler *vertical = mVertical.nibbler.data(), *horizontal = mHorizontal.nibbler.data();
    mBuffer = buffer;
    if (buffer != nullptr) {
        // The composition's Y filter runs down the picture, its X filter across.
        buffer->setY1DTextureView(vertical);
        buffer->setX1DTextureView(horizontal);
    }
    if (view != nullptr) {
        view->outletVerticalImageFilter = vertical;
        view->outletHorizontalImageFilter = horizontal;
        // The bookmarks may have been linked already, before the filters were there.
        ParamMapping &map = view->bookmarkParamMapping();
        for (const char *suffix : {"function.type", "function.phase", "function.amplitude", "function.frequency",
                                   "quantization", "values", "savesamplevalues", "sampledata"}) {
            map.SetParamControl(QStringLiteral("camera.filter.vertical.%1").arg(QLatin1String(suffix)), vertical);
            map.SetParamControl(QStringLiteral("camera.filter.horizontal.%1").arg(QLatin1String(suffix)), horizontal);
        }
    }
    if (midi != nullptr) {
        midi->setOutletVerticalFilter(vertical);
        midi->setOutletHorizontalFilter(horizontal);
    }
    refreshSection(mVertical);
    refreshSection(mHorizontal);
}

void LumoraFiltersPanel::applicationDidFinishLaunching(const NSNotification &) {
    NSWindow::setFrameUsingName(mWindow, QString::fromLatin1(kFrameKey));
    if (mWindow && NSUserDefaults::standardUserDefaults().integerForKey(QString::fromLatin1(kVisibleKey)) != 0) mWindow->show();
}

void LumoraFiltersPanel::applicationWillTerminate(const NSNotification &) {
    if (!mWindow) return;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    NSWindow::saveFrameUsingName(mWindow, QString::fromLatin1(kFrameKey));
    defaults.setInteger(mWindow->isVisible() ? 1 : 0, QString::fromLatin1(kVisibleKey));
    defaults.synchronize();
}
