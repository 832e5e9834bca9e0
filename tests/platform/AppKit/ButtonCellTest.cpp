// The button cell shared by the boxes and NSButton: cell attributes as highlight and state
// masks, repainting its control view, and the button's state and images held by its cell.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <cstdlib>
#include <memory>

#include <AppKit/NSButton.h>
#include <AppKit/NSButtonCell.h>

namespace {

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "AppKitTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

TEST(NSButtonCell, CellAttributesAreTheHighlightAndStateMasks) {
    struct Case {
        NSCellAttribute attribute;
        int highlightsBy;
        int showsStateBy;
    };
    const Case cases[] = {
        {NSPushInCell, NSPushInCellMask, 0},
        {NSCellLightsByContents, NSContentsCellMask, 0},
        {NSCellLightsByGray, NSChangeGrayCellMask, 0},
        {NSCellLightsByBackground, NSChangeBackgroundCellMask, 0},
        {NSChangeGrayCell, 0, NSChangeGrayCellMask},
        {NSChangeBackgroundCell, 0, NSChangeBackgroundCellMask},
        {NSCellChangesContents, 0, NSContentsCellMask},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.attribute));
        NSButtonCell cell;
        cell.setHighlightsBy(NSNoCellMask);
        cell.setShowsStateBy(NSNoCellMask);
        cell.setCellAttribute(c.attribute, 1);
        EXPECT_EQ(cell.highlightsBy(), c.highlightsBy);
        EXPECT_EQ(cell.showsStateBy(), c.showsStateBy);
        EXPECT_EQ(cell.cellAttribute(c.attribute), 1);
        cell.setCellAttribute(c.attribute, 0);
        EXPECT_EQ(cell.highlightsBy(), 0);
        EXPECT_EQ(cell.showsStateBy(), 0);
        EXPECT_EQ(cell.cellAttribute(c.attribute), 0);
    }
    NSButtonCell cell;
    cell.setCellAttribute(NSCellIsBordered, 0);
    EXPECT_FALSE(cell.isBordered());
    EXPECT_EQ(cell.cellAttribute(NSCellIsBordered), 0);
    cell.setCellAttribute(3, 1);  // not kept
    EXPECT_EQ(cell.cellAttribute(3), 0);
}

TEST(NSButtonCell, ChangesRepaintTheControlViewWhileItLives) {
    Application();
    class Counting : public QWidget {
    public:
        int paints = 0;

    protected:
        void paintEvent(QPaintEvent *) override { ++paints; }
    };
    auto view = std::make_unique<Counting>();
    view->resize(40, 20);
    view->show();
    QApplication::processEvents();
    NSButtonCell cell;
    cell.setControlView(view.get());
    view->paints = 0;
    cell.setTitle("Lock");
    QApplication::processEvents();
    EXPECT_GT(view->paints, 0);

    view.reset();  // a cell outliving its view changes without touching it
    EXPECT_EQ(cell.controlView(), nullptr);
    cell.setBordered(false);
}

TEST(NSButton, StateAndImagesLiveInItsCell) {
    Application();
    NSButton button;
    EXPECT_FALSE(button.cell()->isBezeled());
    EXPECT_EQ(button.title(), QString());
    for (const auto &[given, kept] : {std::pair{5, 1}, {-3, -1}, {0, 0}}) {
        button.setState(given);
        EXPECT_EQ(button.state(), kept);
        EXPECT_EQ(button.cell()->state(), kept);
    }
    // The number of a switch is its state, both ways.
    EXPECT_TRUE(button.setProperty("intValue", 1));
    EXPECT_EQ(button.state(), 1);
    button.setState(0);
    EXPECT_EQ(button.property("intValue").toInt(), 0);
    QImage picture(4, 4, QImage::Format_RGBA8888);
    picture.fill(Qt::red);
    const auto image = NSImage::imageWithQImage(picture);
    button.setAlternateImage(image);
    EXPECT_EQ(button.cell()->alternateImage(), image);
    EXPECT_EQ(button.property("alternateImage").value<std::shared_ptr<NSImage>>(), image);
}

}  // namespace
