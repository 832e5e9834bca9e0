#include <UICocoaColor/NSUIColorMenuViewController.h>
#include <UICocoaColor/NSUIColorMenuViewNibbler.h>
#include <UICocoaColor/NSUIColorWheelViewNibbler.h>
#include <UICocoaColor/UFColorWheelController.h>

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSImage.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSUserDefaults.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QPointer>
#include <QWidgetAction>

#include <memory>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

void Drain() {
    for (int round = 0; round < 4; ++round) {
        dispatch_main_queue_drain();
        riradi_test::RunPendingEvents();
    }
}

// Counts the notices of the wheel that reach it.
class MenuDelegate : public QObject {
    Q_OBJECT
public:
    int notices = 0;
    Q_INVOKABLE void colorWheelControllerDidChange(QObject *) { ++notices; }
};

// Counts the key-value notices of one key path.
class Observer : public QObject, public NSKeyValueObserver {
    Q_OBJECT
public:
    int notices = 0;
    void observeValueForKeyPath(const QString &, QObject *, const QVariantMap &, void *) override { ++notices; }
};

// Counts the emissions of a signal.
template <typename Sender, typename Signal>
std::shared_ptr<int> Count(Sender *sender, Signal signal) {
    auto count = std::make_shared<int>(0);
    QObject::connect(sender, signal, sender, [count] { ++*count; });
    return count;
}

struct ColorMenu : riradi_test::WithApplication, ::testing::Test {
    void SetUp() override {
        // Each test starts from a fresh wheel, whatever the ones before saved.
        NSUserDefaults::standardUserDefaults().removeObject("NSUIColorWheelViewNibbler");
        NSUserDefaults::standardUserDefaults().removeObject("NSUIColorWheelViewNibbler.colorWheel");
        Drain();
    }
    void TearDown() override { Drain(); }
};

QImage Pixels(const NSImage &image) {
    if (image.representations().empty()) return QImage();
    return image.representations().front()->toQImage().convertToFormat(QImage::Format_ARGB32);
}

// The menu view's nib holds the wheel's nibbler; the controller made for it is filled with
// what the nib gives.
TEST_F(ColorMenu, TheNibFillsTheControllersOutlets) {
    NSUIColorMenuViewNibbler nibbler;
    nibbler.awakeFromNib();
    auto *wheel = qobject_cast<NSUIColorWheelViewNibbler *>(nibbler.nibblerView());
    ASSERT_NE(wheel, nullptr);
    ASSERT_NE(wheel->colorWheel(), nullptr);
    NSUIColorMenuViewController *controller = nibbler.colorViewController();
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->outletColorMenuViewNibbler(), &nibbler);
    EXPECT_EQ(controller->outletColorWheelViewNibbler(), wheel);
    EXPECT_EQ(controller->outletViewHostedInMenuItem(), &nibbler);
    EXPECT_EQ(controller->outletMenuItemHostsView(), nullptr);
    EXPECT_EQ(wheel->parentWidget(), &nibbler);
    EXPECT_EQ(nibbler.sizeHint(), QSize(200, 200));
    EXPECT_FALSE(nibbler.isOpaque());

    // A second awakeFromNib keeps the controller.
    nibbler.awakeFromNib();
    EXPECT_EQ(nibbler.colorViewController(), controller);
}

// No data without the flag; with it, the wheel's preview as TIFF bytes that decode back to
// the preview.
TEST_F(ColorMenu, ThePreviewDataIsTheWheelAsTIFFWhenTheFlagIsSet) {
    NSUIColorMenuViewNibbler nibbler;
    nibbler.awakeFromNib();
    NSUIColorMenuViewController *controller = nibbler.colorViewController();
    ASSERT_NE(controller, nullptr);
    Drain();

    EXPECT_FALSE(controller->showPreviewThumbnailImage());
    EXPECT_TRUE(controller->colorWheelPreviewImageData().isEmpty());

    nibbler.setShowPreviewThumbnailImage(true);
    EXPECT_TRUE(controller->showPreviewThumbnailImage());
    const QByteArray data = controller->colorWheelPreviewImageData();
    ASSERT_FALSE(data.isEmpty());
    EXPECT_TRUE(data.startsWith(QByteArray("II*\0", 4)) || data.startsWith(QByteArray("MM\0*", 4)));
    const std::shared_ptr<NSImage> preview = controller->outletColorWheelViewNibbler()->colorWheelPreviewImage();
    ASSERT_NE(preview, nullptr);
    const QImage expected = Pixels(*preview);
    const QImage decoded = QImage::fromData(data, "TIFF").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(decoded.size(), QSize(int(preview->size().width), int(preview->size().height)));
    ASSERT_EQ(decoded.size(), expected.size());
    for (const QPoint p : {QPoint(1, 1), QPoint(76, 34), QPoint(64, 100), QPoint(30, 64)})
        EXPECT_EQ(decoded.pixel(p), expected.pixel(p)) << p.x() << " " << p.y();

    // The flag reads through the key path as well.
    EXPECT_EQ(NSKeyValueCoding::valueForKeyPath(controller, "outletColorMenuViewNibbler.showPreviewThumbnailImage"),
              QVariant(true));
}

// The data is empty when a part is missing: no menu nibbler (no flag), no wheel nibbler, or
// a wheel nibbler that has no wheel to draw yet.
TEST_F(ColorMenu, ThePreviewDataIsEmptyWithoutAWheelOrAFlag) {
    NSUIColorMenuViewNibbler flagged;
    flagged.setShowPreviewThumbnailImage(true);
    NSUIColorWheelViewNibbler unloaded;  // its nib not loaded: no controller, no preview
    ASSERT_EQ(unloaded.colorWheelPreviewImage(), nullptr);
    NSUIColorWheelViewNibbler loaded;
    loaded.awakeFromNib();
    ASSERT_NE(loaded.colorWheelPreviewImage(), nullptr);

    struct Case {
        const char *name;
        NSUIColorMenuViewNibbler *menu;
        NSUIColorWheelViewNibbler *wheel;
        bool data;
    };
    for (const Case c : {Case{"no menu nibbler", nullptr, &loaded, false},
                         Case{"no wheel nibbler", &flagged, nullptr, false},
                         Case{"a wheel without controller", &flagged, &unloaded, false},
                         Case{"both", &flagged, &loaded, true}}) {
        NSUIColorMenuViewController controller;
        controller.setOutletColorMenuViewNibbler(c.menu);
        controller.setOutletColorWheelViewNibbler(c.wheel);
        EXPECT_EQ(controller.showPreviewThumbnailImage(), c.menu != nullptr) << c.name;
        EXPECT_EQ(!controller.colorWheelPreviewImageData().isEmpty(), c.data) << c.name;
    }
}

// A change of the wheel tells the observers of the preview data, through the signal and
// through key-value observing; so does the flag, which also tells of itself.
TEST_F(ColorMenu, WheelChangesAndTheFlagNotifyThePreviewData) {
    NSUIColorMenuViewNibbler nibbler;
    MenuDelegate delegate;
    nibbler.setDelegate(&delegate);
    nibbler.awakeFromNib();
    NSUIColorMenuViewController *controller = nibbler.colorViewController();
    ASSERT_NE(controller, nullptr);
    UFColorWheelController *wheel = controller->outletColorWheelViewNibbler()->colorWheel();
    ASSERT_NE(wheel, nullptr);
    nibbler.setShowPreviewThumbnailImage(true);
    Drain();

    Observer observer;
    NSKeyValueCoding::addObserver(controller, &observer, "colorWheelPreviewImageData");
    const auto data = Count(controller, &NSUIColorMenuViewController::colorWheelPreviewImageDataChanged);
    const auto flag = Count(controller, &NSUIColorMenuViewController::showPreviewThumbnailImageChanged);
    delegate.notices = 0;

    struct Change {
        const char *name;
        void (*apply)(UFColorWheelController &);
    };
    for (const Change c : {Change{"selection", [](UFColorWheelController &w) { w.setSelectedSliceIndex(2); }},
                           Change{"slices", [](UFColorWheelController &w) { w.setNumberOfSlices(9); }},
                           Change{"grey wheel", [](UFColorWheelController &w) {
                                      w.setHueCombination(UFColorWheelController::kHueCombinationBlackAndWhite);
                                  }}}) {
        const int before = *data;
        const int observed = observer.notices;
        c.apply(*wheel);
        Drain();
        EXPECT_GT(*data, before) << c.name;
        EXPECT_GT(observer.notices, observed) << c.name;
    }
    EXPECT_EQ(*flag, 0);
    EXPECT_GE(delegate.notices, 2);  // the recomputations reach the menu nibbler's delegate

    // The grey wheel is what the data now holds.
    const QImage grey = QImage::fromData(controller->colorWheelPreviewImageData(), "TIFF");
    ASSERT_FALSE(grey.isNull());
    const QColor pixel = grey.pixelColor(64 + 10, 64 - 35);
    EXPECT_EQ(pixel.red(), pixel.green());
    EXPECT_EQ(pixel.green(), pixel.blue());

    const int before = *data;
    nibbler.setShowPreviewThumbnailImage(false);
    EXPECT_EQ(*flag, 1);
    EXPECT_GT(*data, before);
    EXPECT_TRUE(controller->colorWheelPreviewImageData().isEmpty());
    nibbler.setShowPreviewThumbnailImage(false);  // no change, no notice
    EXPECT_EQ(*flag, 1);
    NSKeyValueCoding::removeObserver(controller, &observer, "colorWheelPreviewImageData");
}

// The menu item shows the view only when both outlets are set.
TEST_F(ColorMenu, AwakeFromNibPutsTheViewIntoTheMenuItemOnlyWithBothOutlets) {
    struct Case {
        bool view;
        bool item;
    };
    for (const Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        auto item = std::make_unique<QWidgetAction>(nullptr);
        QPointer<QWidget> view(new QWidget);
        NSUIColorMenuViewController controller;
        if (c.view) controller.setOutletViewHostedInMenuItem(view);
        if (c.item) controller.setOutletMenuItemHostsView(item.get());
        controller.awakeFromNib();
        EXPECT_EQ(item->defaultWidget(), c.view && c.item ? view.data() : nullptr) << c.view << c.item;
        controller.awakeFromNib();  // once shown, it stays
        EXPECT_EQ(item->defaultWidget(), c.view && c.item ? view.data() : nullptr) << c.view << c.item;
        if (item->defaultWidget() == nullptr) delete view.data();
        item.reset();  // an item deletes the view it shows
        EXPECT_TRUE(view.isNull());
    }

    // A host sets the controller with its menu item before the nib loads: the loaded nibbler
    // goes into the item, and the item owns it from then on.
    auto item = std::make_unique<QWidgetAction>(nullptr);
    QPointer<NSUIColorMenuViewNibbler> nibbler(new NSUIColorMenuViewNibbler);
    auto *controller = new NSUIColorMenuViewController(nibbler);
    controller->setOutletMenuItemHostsView(item.get());
    nibbler->setNibblerController(controller);
    nibbler->awakeFromNib();
    EXPECT_EQ(nibbler->colorViewController(), controller);
    EXPECT_EQ(item->defaultWidget(), nibbler.data());
    EXPECT_NE(controller->outletColorWheelViewNibbler(), nullptr);
    item.reset();
    EXPECT_TRUE(nibbler.isNull());
}

}  // namespace

#include "ColorMenuTest.moc"
