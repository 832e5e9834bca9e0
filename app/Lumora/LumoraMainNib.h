// LumoraMainNib: the application's main nib (nibs/MainMenu.ui) loaded with the application
// delegate as its owner, and the frame loop's objects that the form cannot describe (the
// camera source chain, the layer panel) joined to it.
//
// The form holds the camera window ("outletMainWindow": the menus, the camera view
// "outletRenderView" in its aspect frame, the bar under it with the source and effect pop-ups,
// the effect stepper and amount, the snapshot and record buttons) and the nib's plain objects:
// the input controller, the render buffer, the frame-rate meter, the compression settings, the
// display link, the effect packs with their stepper, the effect tweening, the help menu's
// controller and the pictures and movies folders, connected by the outlets written in the form.
//
// Joined here: the movie recorder (frames, microphone, movies folder), the bookmarks panel with
// the design browser and the Designs menu, the MIDI input, and the menu items of each.
//
// Main thread; a QApplication must exist.
#pragma once

#include <Lumora/LumoraInputPanel.h>
#include <LumoraApp/AppController.h>

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

#include <Lumora/LumoraFiltersPanel.h>
#include <Lumora/LumoraInstallerPanel.h>
#include <LumoraApp/CamInputVDIGController.h>

class LumoraBookmarksPanel;
class LumoraRecorder;
class LumoraStepperController;
class NSUILumoraView;
class QAsyncStillFrameMovieRecorder;
class QAudioFileRecorderLink;
class QComboBox;
class QMIDIController;

class LumoraMainNib {
public:
    LumoraMainNib();
    ~LumoraMainNib();
    LumoraMainNib(const LumoraMainNib &) = delete;
    LumoraMainNib &operator=(const LumoraMainNib &) = delete;

    // Loads the form with the delegate as owner and joins the rest; false (logged) when the
    // form does not load.
    bool load();

    AppController *delegate() const { return mDelegate.get(); }
    QWidget *mainWindow() const { return mWindow.get(); }
    // The inspector panel (the layer panel's controls and matrix); null when its nib did not load.
    QWidget *inspector() const { return mInspector.data(); }
    NSUILumoraView *renderView() const;
    QComboBox *effectsPopup() const;
    // The effect pop-up's titles: "iSight", then the packs' compositions.
    QStringList effectTitles() const;
    // Opens the composition the pop-up shows ("iSight" when that fails); whether one opened.
    bool openSelectedEffect();

    // The sources of the source pop-up, in its order.
    enum Source { kSourceCamera = 0, kSourceStill = 1, kSourceMovie = 2, kSourceBlack = 3 };
    // The camera (the first the grabber lists: a V4L2 camera, else the test camera) or black
    // at once; a still or movie asks for a file first (a cancel keeps the source of before).
    void selectSource(int source);
    // A still image, PDF or movie file as the source; false when it does not open.
    bool openSourceFile(const QString &path);
    // What start-up does once the controllers have launched: the camera as the source, then
    // the effect the pop-up shows.
    void didFinishLaunching();
    CamInputVDIGController *cameraInputController() const { return mCameraController.data(); }
    LumoraRecorder *recorder() const;
    LumoraBookmarksPanel *bookmarksPanel() const;
    LumoraStepperController *stepper() const;
    QMIDIController *midiController() const;
    LumoraFiltersPanel *filtersPanel() const { return mFiltersPanel.get(); }
    LumoraInstallerPanel *installerPanel() const { return mInstallerPanel.get(); }
    // Shows a panel and brings it to the front; nothing for null.
    static void showPanel(QWidget *panel);
    // The input settings panel (the camera source and the tint stage); null before load.
    LumoraInputPanel *inputPanel() const { return mInputPanel.data(); }

    // Takes the window down before the delegate (the view stops its loop with the window).
    void close();

private:
    void joinCameraSource();
    void joinLayerPanel();
    void fillEffectsPopup();
    void joinEffectControls();
    void joinRecorder();
    void joinBookmarksPanel();
    void joinMIDI();
    void joinFiltersPanel();
    void joinCameraMenu();
    void joinCountDown();
    void joinSharing();
    void joinMenuItems();

    std::unique_ptr<AppController> mDelegate;
    std::unique_ptr<QWidget> mWindow;
    QList<QPointer<QObject>> mOwned;  // objects made here, not by the form
    QPointer<CamInputVDIGController> mCameraController;
    QPointer<LumoraRecorder> mRecorder;
    QPointer<QAsyncStillFrameMovieRecorder> mFrameRecorder;
    std::unique_ptr<QAudioFileRecorderLink> mSoundRecorder;
    QPointer<LumoraBookmarksPanel> mBookmarksPanel;
    QPointer<QMIDIController> mMidiController;
    std::unique_ptr<LumoraFiltersPanel> mFiltersPanel;
    std::unique_ptr<LumoraInstallerPanel> mInstallerPanel;
    QPointer<QWidget> mInspector;  // among mOwned
    QPointer<LumoraInputPanel> mInputPanel;
    int mSource = kSourceCamera;
};

// Links the modules of the classes the form names (link anchors); true.
bool LumoraLinkMainNibClasses();

// Whether a window system is there to show windows on: an X display (DISPLAY) or a Wayland
// display (WAYLAND_DISPLAY), or a Qt platform chosen that needs none (offscreen, minimal).
bool LumoraHasDisplay();
