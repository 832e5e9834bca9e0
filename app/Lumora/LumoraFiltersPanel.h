// LumoraFiltersPanel: the "1-D Filters" tool window. It holds the two 1-D filter editors the
// effect compositions receive (the vertical one, drawn in a view taller than wide, and the
// horizontal one) and, for each, the function picker, amplitude, frequency (coarse and fine),
// phase, quantization and the filter's amount, top to bottom under a section header.
//
// The panel is built in code around the two NSOGLTexture1DViewNibbler editors: each editor makes
// its own view and controller, so there is nothing a form would add but the layout.
//
// join() hands the editors to the render buffer (its Y and X filter images, and the amounts the
// amount sliders set), to the camera view (its bookmarks keep the filters) and to the MIDI
// controller (controllers move the filters' points). Any of them may be null: the amount
// sliders stay disabled without a render buffer.
//
// The panel's place, size and visibility are kept in the standard user defaults: the frame is
// restored when the panel is made, the visibility when the application has finished launching;
// both are stored when it terminates.
//   "LumoraFiltersPanelFrame"    string   "x y width height" (a frame outside 1..10000 a side is ignored)
//   "LumoraFiltersPanelVisible"  integer  0
// Escape closes the panel.
//
// Main thread.
#pragma once

#include <Foundation/NSNotification.h>

#include <QObject>
#include <QPointer>
#include <QWidget>

class LumoraRenderBuffer;
class NSOGLTexture1DViewNibbler;
class NSUILumoraView;
class QComboBox;
class QLabel;
class QMIDIController;
class QSlider;
class QSpinBox;

class LumoraFiltersPanel : public QObject {
    Q_OBJECT

public:
    static constexpr char kFrameKey[] = "LumoraFiltersPanelFrame";
    static constexpr char kVisibleKey[] = "LumoraFiltersPanelVisible";
    // The sliders' steps between 0 and 1.
    static constexpr int kSliderSteps = 1000;

    // The panel is a tool window of the parent (the camera window) when one is given.
    explicit LumoraFiltersPanel(QWidget *parent = nullptr);
    ~LumoraFiltersPanel() override;

    QWidget *widget() const { return mWindow.data(); }
    NSOGLTexture1DViewNibbler *verticalFilter() const;
    NSOGLTexture1DViewNibbler *horizontalFilter() const;

    void join(LumoraRenderBuffer *buffer, NSUILumoraView *view, QMIDIController *midi);

    // The application's notices (observed by the panel itself).
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

    // One filter's controls.
    struct Section {
        bool vertical = false;
        QPointer<NSOGLTexture1DViewNibbler> nibbler;
        QComboBox *function = nullptr;
        QSlider *amplitude = nullptr, *frequencyCoarse = nullptr, *frequencyFine = nullptr, *phase = nullptr;
        QSpinBox *quantization = nullptr;
        QSlider *amount = nullptr;
        QLabel *amplitudeValue = nullptr, *frequencyCoarseValue = nullptr, *frequencyFineValue = nullptr,
               *phaseValue = nullptr, *quantizationValue = nullptr, *amountValue = nullptr;
    };

private:
    void buildSection(Section &section);
    void connectSection(Section &section);
    // The controls from the editor's controller and the render buffer's amount.
    void refreshSection(Section &section);
    void setAmount(const Section &section, double amount);
    double amount(const Section &section) const;

    QPointer<QWidget> mWindow;
    Section mVertical, mHorizontal;
    QPointer<LumoraRenderBuffer> mBuffer;
};
