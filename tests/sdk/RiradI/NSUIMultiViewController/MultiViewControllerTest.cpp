// The multi-view controller with its clients and switching controls: registration and the
// awake block, adding and selecting by title, the language rebuild, and the controls' lists.
#include <NSUIMultiViewController/NSUIMultiViewClientViewHolder.h>
#include <NSUIMultiViewController/NSUIMultiViewController.h>
#include <NSUIMultiViewController/NSUIMultiViewPopUpButton.h>
#include <NSUIMultiViewController/NSUIMultiViewSegmentedControl.h>
#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <UILocalLanguage/UILocalLanguageBinding.h>
#include <UILocalLanguage/UILocalLanguageController.h>
#include <UICocoaViews/NSUIViewPlaceholder.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <gtest/gtest.h>

#include <QLabel>
#include <QToolButton>

#include <memory>

#include "MultiViewTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using multiview_test::Client;
using multiview_test::Drain;
using multiview_test::RecordingDelegate;

// A panel as a nib would connect it: a placeholder in a window, a controller with a delegate
// and a switching control, and three clients registered in the order B, a, C.
template <class Control>
struct Panel {
    QWidget window;
    NSUIViewPlaceholder *placeholder = new NSUIViewPlaceholder(&window);
    Control *control = new Control(&window);
    NSUIMultiViewController controller;
    RecordingDelegate delegate;
    NSUIMultiViewClientViewHolder *b = Client(QStringLiteral("B"));
    NSUIMultiViewClientViewHolder *a = Client(QStringLiteral("a"));
    NSUIMultiViewClientViewHolder *c = Client(QStringLiteral("C"));

    explicit Panel(bool wake = true) {
        window.resize(300, 200);
        placeholder->setGeometry(0, 40, 300, 160);
        control->setGeometry(0, 0, 208, 30);
        control->setDelegate(&controller);
        controller.setMultiViewPlaceholder(placeholder);
        controller.setMultiViewSwitchingControl(control);
        controller.setDelegate(&delegate);
        for (NSUIMultiViewClientViewHolder *client : {b, a, c}) client->setOutletMultiViewController(&controller);
        if (!wake) return;
        placeholder->awakeFromNib();
        controller.awakeFromNib();
        window.show();
        Drain();
    }
    // Which of the clients are visible, as "B a C" letters.
    QString visible() const {
        QString shown;
        for (NSUIMultiViewClientViewHolder *client : {b, a, c})
            if (client->isVisibleTo(placeholder)) shown += client->multiViewTitle();
        return shown;
    }
};

class MultiViewControllerTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void TearDown() override {
        UILocalLanguageController::language()->setSettingsDictionary({});
        Drain();
    }
};

QStringList PopUpItems(const QComboBox &popUp) {
    QStringList items;
    for (int i = 0; i < popUp.count(); ++i) items.append(popUp.itemText(i));
    return items;
}

QStringList SegmentLabels(const NSUIMultiViewSegmentedControlBase &control) {
    QStringList labels;
    for (int i = 0; i < control.segmentCount(); ++i) labels.append(control.labelForSegment(i));
    return labels;
}

TEST_F(MultiViewControllerTest, RegisteredClientsAreAddedAfterWakingAndTheFirstIsShown) {
    Panel<NSUIMultiViewPopUpButton> panel(false);
    // Registration alone installs nothing.
    EXPECT_EQ(panel.controller.registeredClients(), (QList<QWidget *>{panel.b, panel.a, panel.c}));
    EXPECT_EQ(panel.b->parentWidget(), nullptr);
    panel.controller.awakeFromNib();
    EXPECT_EQ(panel.controller.multiViewWithTitle(QStringLiteral("B")), nullptr);  // not before the main queue
    panel.window.show();
    Drain();

    EXPECT_EQ(panel.controller.switchingMultiViewTitleList(), (QStringList{"a", "B", "C"}));
    panel.controller.setOutletSortTitles(false);
    EXPECT_EQ(panel.controller.switchingMultiViewTitleList(), (QStringList{"B", "C", "a"}));
    EXPECT_EQ(panel.controller.selectedMultiView(), panel.b);
    EXPECT_EQ(panel.visible(), "B");
    for (QWidget *client : {static_cast<QWidget *>(panel.a), static_cast<QWidget *>(panel.c)})
        EXPECT_EQ(client->parentWidget(), panel.placeholder);
    // The pop-up lists the sorted titles with B selected; the delegate heard of B.
    EXPECT_EQ(PopUpItems(*panel.control), (QStringList{"a", "B", "C"}));
    EXPECT_EQ(panel.control->selectedMultiViewTitle(), "B");
    ASSERT_FALSE(panel.delegate.told.empty());
    EXPECT_EQ(panel.delegate.told.back(), "B");
    EXPECT_EQ(panel.delegate.lastController, &panel.controller);
    // Key-value coding reaches the lists and the selection.
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&panel.controller, QStringLiteral("selectedMultiViewTitle")).toString(), "B");
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&panel.controller, QStringLiteral("switchingMultiViewList")).toList().size(), 3);
}

TEST_F(MultiViewControllerTest, ControllerWithoutClientsShowsThePlaceholdersInitialView) {
    QWidget window;
    auto *placeholder = new NSUIViewPlaceholder(&window);
    auto *initial = new QLabel(QStringLiteral("initial"), &window);
    initial->setToolTip(QStringLiteral("Start"));
    placeholder->setInstallThisView(initial);
    placeholder->awakeFromNib();
    NSUIMultiViewController controller;
    controller.setMultiViewPlaceholder(placeholder);
    controller.awakeFromNib();
    Drain();
    EXPECT_EQ(controller.selectedMultiView(), initial);
    EXPECT_EQ(controller.multiViewWithTitle(QStringLiteral("Start")), initial);
    // Not a client view: it is not the default view.
    EXPECT_EQ(controller.defaultMultiView(), nullptr);
    EXPECT_FALSE(controller.selectDefaultMultiView());
}

TEST_F(MultiViewControllerTest, SelectingByTitle) {
    Panel<NSUIMultiViewPopUpButton> panel;
    panel.delegate.told.clear();

    EXPECT_TRUE(panel.controller.selectViewWithTitle(QStringLiteral("C")));
    EXPECT_EQ(panel.visible(), "C");
    EXPECT_EQ(panel.control->selectedMultiViewTitle(), "C");
    // Selecting the view shown again changes nothing and tells nobody.
    EXPECT_TRUE(panel.controller.selectMultiView(panel.c));
    Drain();
    EXPECT_EQ(panel.delegate.told, (std::vector<QString>{"C"}));

    // The user picks "a" in the pop-up.
    panel.control->setCurrentIndex(0);
    emit panel.control->activated(0);
    EXPECT_EQ(panel.visible(), "a");
    EXPECT_EQ(panel.controller.selectedMultiViewTitle(), "a");
    Drain();  // the delegate reads the view shown when its notice runs

    // An unknown title answers true and leaves nothing shown; the delegate hears of no view.
    EXPECT_TRUE(panel.controller.selectViewWithMultiViewTitle(QStringLiteral("nothing")));
    EXPECT_EQ(panel.visible(), "");
    EXPECT_EQ(panel.controller.selectedMultiView(), nullptr);
    EXPECT_TRUE(panel.controller.selectedMultiViewTitle().isNull());
    Drain();
    EXPECT_EQ(panel.delegate.told, (std::vector<QString>{"C", "a", "-"}));
    // Without a dictionary there is nothing to select from.
    NSUIMultiViewController empty;
    EXPECT_FALSE(empty.selectViewWithMultiViewTitle(QStringLiteral("a")));
}

TEST_F(MultiViewControllerTest, AddingViews) {
    Panel<NSUIMultiViewPopUpButton> panel;
    auto *plain = new QLabel(QStringLiteral("plain"));
    plain->setToolTip(QStringLiteral("Plain"));
    auto *untitled = new QLabel(QStringLiteral("untitled"));
    auto *taken = Client(QStringLiteral("a"));
    std::unique_ptr<QWidget> takenOwner(taken);

    EXPECT_TRUE(panel.controller.addMultiView(nullptr).isNull());
    EXPECT_TRUE(panel.controller.addMultiView(taken).isNull());  // title taken
    EXPECT_EQ(panel.controller.multiViewWithTitle(QStringLiteral("a")), panel.a);
    EXPECT_EQ(taken->parentWidget(), nullptr);

    // Any view is added under its tool tip, else its view_id title; installed and hidden.
    EXPECT_EQ(panel.controller.addMultiView(plain), "Plain");
    const QString untitledTitle = panel.controller.addMultiView(untitled);
    EXPECT_TRUE(untitledTitle.startsWith(QStringLiteral("view_id:"))) << untitledTitle.toStdString();
    EXPECT_TRUE(untitledTitle.endsWith(QLatin1Char('\n')));
    EXPECT_EQ(untitled->parentWidget(), panel.placeholder);
    EXPECT_FALSE(untitled->isVisibleTo(panel.placeholder));
    EXPECT_EQ(panel.visible(), "B");

    // Selecting a view not yet there adds it and refreshes the control; it is shown only when
    // no view is, so a second selection shows it.
    auto *d = Client(QStringLiteral("D"));
    EXPECT_TRUE(panel.controller.selectMultiView(d));
    EXPECT_TRUE(panel.control->isTitleMemberOfPopUpMenu(QStringLiteral("D")));
    EXPECT_EQ(panel.visible(), "B");
    EXPECT_FALSE(d->isVisibleTo(panel.placeholder));
    EXPECT_TRUE(panel.controller.selectMultiView(d));
    EXPECT_EQ(panel.controller.selectedMultiView(), d);
    EXPECT_TRUE(d->isVisibleTo(panel.placeholder));
    EXPECT_FALSE(panel.b->isVisibleTo(panel.placeholder));
    EXPECT_TRUE(panel.control->isTitleMemberOfPopUpMenu(QStringLiteral("D")));
    EXPECT_EQ(panel.control->selectedMultiViewTitle(), "D");
    EXPECT_FALSE(panel.controller.selectMultiView(nullptr));

    // A destroyed view drops out of the lists.
    delete plain;
    EXPECT_FALSE(panel.controller.switchingMultiViewTitleList().contains(QStringLiteral("Plain")));
}

TEST_F(MultiViewControllerTest, LanguageChangeMovesViewsToTheirNewTitles) {
    UILocalLanguageController *language = UILocalLanguageController::language();
    Panel<NSUIMultiViewSegmentedControl> panel(false);
    panel.b->setToolTip(QStringLiteral("Brightness"));
    UILocalLanguageBinding::bind(panel.b, QStringLiteral("toolTip"), QStringLiteral("test.multiview.brightness"));
    UILocalLanguageBinding::bind(panel.c, QStringLiteral("toolTip"), QStringLiteral("test.multiview.contrast"));
    panel.placeholder->awakeFromNib();
    panel.controller.awakeFromNib();
    Drain();
    EXPECT_EQ(SegmentLabels(*panel.control), (QStringList{"a", "Brightness", "C"}));
    EXPECT_EQ(panel.control->selectedMultiViewTitle(), "Brightness");

    language->setSettingsDictionary({{"test.multiview.brightness", QStringLiteral("Helligkeit")},
                                     {"test.multiview.contrast", QStringLiteral("Kontrast")}});
    EXPECT_EQ(panel.controller.multiViewWithTitle(QStringLiteral("Helligkeit")), panel.b);
    EXPECT_EQ(panel.controller.multiViewWithTitle(QStringLiteral("Brightness")), nullptr);
    EXPECT_EQ(panel.controller.multiViewWithTitle(QStringLiteral("Kontrast")), panel.c);
    EXPECT_EQ(panel.controller.selectedMultiView(), panel.b);
    EXPECT_EQ(panel.visible(), "Helligkeit");
    // The control was refreshed with the new titles and keeps the selection.
    EXPECT_EQ(SegmentLabels(*panel.control), (QStringList{"a", "Helligkeit", "Kontrast"}));
    EXPECT_EQ(panel.control->selectedMultiViewTitle(), "Helligkeit");

    // Two views that come to share a title: one of them is kept.
    language->setSettingsDictionary({{"test.multiview.brightness", QStringLiteral("a")}});
    EXPECT_EQ(panel.controller.switchingMultiViewTitleList(), (QStringList{"a", "C"}));
}

TEST_F(MultiViewControllerTest, SegmentedControlSwitchesAndSizesItsSegments) {
    Panel<NSUIMultiViewSegmentedControl> panel;
    NSUIMultiViewSegmentedControl &control = *panel.control;
    EXPECT_EQ(SegmentLabels(control), (QStringList{"a", "B", "C"}));
    EXPECT_EQ(control.selectedSegment(), 1);
    EXPECT_DOUBLE_EQ(control.widthForSegment(0), (208 - 8) / 3.0);

    // A click on the third segment shows C.
    auto buttons = control.findChildren<QToolButton *>();
    ASSERT_EQ(buttons.size(), 3);
    buttons[2]->click();
    EXPECT_EQ(panel.visible(), "C");
    EXPECT_EQ(control.selectedSegment(), 2);
    // Selecting an unknown title in the control selects no segment.
    control.setSelectedMultiViewTitle(QStringLiteral("nothing"));
    EXPECT_FALSE(control.hasSelectedSegment());
    EXPECT_TRUE(control.selectedSegmentLabel().isNull());

    struct Case {
        int segments;
        QVariant outlet;
        double width;
    };
    for (const Case &c : {Case{4, QVariant(), 50.0}, Case{0, QVariant(), 72.0}, Case{4, QVariant(40), 40.0}}) {
        NSUIMultiViewSegmentedControlBase sized;
        sized.resize(208, 24);
        sized.setSegmentCount(c.segments);
        sized.setOutletSegmentWidthPixels(c.outlet);
        EXPECT_DOUBLE_EQ(sized.segmentWidth(), c.width) << c.segments;
    }

    // With icons shown, each segment carries its view's picture.
    control.setShowIconImages(true);
    control.refreshMultiViewTitlesWithSelection(QString());
    ASSERT_NE(control.imageForSegment(0), nullptr);
    EXPECT_EQ(control.imageForSegment(0)->size().width, 32);
    EXPECT_FALSE(buttons[0]->icon().isNull());
}

TEST_F(MultiViewControllerTest, PopUpRefreshOnlyAddsTitles) {
    Panel<NSUIMultiViewPopUpButton> panel;
    delete panel.c;
    panel.control->refreshMultiViewTitlesWithSelection(QStringLiteral("B"));
    EXPECT_EQ(PopUpItems(*panel.control), (QStringList{"a", "B", "C"}));
    EXPECT_EQ(panel.control->selectedMultiViewTitle(), "B");
    // Without a delegate nothing happens.
    NSUIMultiViewPopUpButton lone;
    lone.refreshMultiViewTitlesWithSelection(QStringLiteral("x"));
    EXPECT_EQ(lone.count(), 0);
    lone.selectionChangedAction(&lone);
}

TEST_F(MultiViewControllerTest, ClientHolderTitlesIdsAndIcon) {
    NSUIMultiViewClientViewHolder first;
    NSUIMultiViewClientViewHolder second;
    EXPECT_EQ(second.instanceNumber(), first.instanceNumber() + 1);
    EXPECT_EQ(second.multiViewTitle(), QString::number(second.instanceNumber()));
    EXPECT_LE(first.multiViewID(), 255u);

    // Tool tip and ID changes are announced as title changes.
    int announced = 0;
    QObject::connect(&first, &NSUIMultiViewClientViewHolder::multiViewTitleChanged, [&announced] { ++announced; });
    first.setToolTip(QStringLiteral("Levels"));
    first.setOutletMultiViewID(7);
    EXPECT_EQ(announced, 2);
    EXPECT_EQ(first.description(), "NSUIMultiViewClientViewHolder {07:'Levels'}");
    EXPECT_EQ(protocol_NSUIMultiViewBox::multiViewTitle(&first), "Levels");

    // Made by name, as a nib makes it.
    std::unique_ptr<QObject> made(NSClassCreateInstance(NSClassFromString(QStringLiteral("NSUIMultiViewClientViewHolder"))));
    EXPECT_NE(qobject_cast<NSUIMultiViewClientViewHolder *>(made.get()), nullptr);

    // The icon: a dark rounded square, transparent outside its corners, with the title in it.
    std::shared_ptr<NSImage> icon = first.multiViewIconImage();
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->representations().size(), 1u);
    const QImage pixels = icon->representations().front()->toQImage().convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(pixels.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(pixels.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(pixels.pixel(31, 31)), 0);
    const QRgb inside = pixels.pixel(3, 28);
    EXPECT_EQ(qAlpha(inside), 255);
    EXPECT_NEAR(qRed(inside), 26, 2);
    // The edge is lighter than the inside (a half-transparent white line).
    EXPECT_GT(qRed(pixels.pixel(16, 31)), qRed(inside) + 40);
    // The title's ink (black) darkens the upper middle.
    int darkest = 255;
    for (int y = 0; y < 16; ++y)
        for (int x = 4; x < 28; ++x) darkest = std::min(darkest, qRed(pixels.pixel(x, y)));
    EXPECT_LT(darkest, 12);
}

}  // namespace
