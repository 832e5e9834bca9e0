// Cell attachments: layout in the view's y-up coordinates, the click going to the first cell
// whose frame holds it, bad pairs reported and skipped, and the list's hold on its cells.
#include <UICocoaViews/NSView_CellAttachments.h>

#include <gtest/gtest.h>

#include <QPainter>

#include "UICocoaViewsTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

using views_test::MouseEvent;
using views_test::RecordingCell;

class PressReceiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void pressed(QObject *sender) { senders.push_back(sender); }
    std::vector<QObject *> senders;
};

class CellAttachments : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        view.resize(200, 100);
    }
    std::shared_ptr<RecordingCell> Cell(double width, double height) {
        return std::make_shared<RecordingCell>(NSMakeSize(width, height));
    }
    QWidget view;
    NSViewCellAttachments list;
};

TEST_F(CellAttachments, LayoutAndOrigins) {
    auto first = Cell(16, 16), second = Cell(30, 10);
    cellAttachmentsAdd(&view, list, first, CGPointMake(4, 76));
    cellAttachmentsAdd(&view, list, second, CGPointMake(24, 50), CGSizeMake(40, 12));
    ASSERT_EQ(list.pairs.size(), 2u);
    EXPECT_TRUE(CGRectEqualToRect(list.pairs[0].frame, CGRectMake(4, 76, 16, 16)));  // the cell's size
    EXPECT_TRUE(CGRectEqualToRect(list.pairs[1].frame, CGRectMake(24, 50, 40, 12)));

    // y := bounds height - cellSize height - margin, from 0 whatever the bounds' origin; the
    // frame's own height stays.
    cellAttachmentsSetBounds(&view, list, CGRectMake(10, 50, 200, 100), 2);
    EXPECT_TRUE(CGRectEqualToRect(list.pairs[0].frame, CGRectMake(4, 82, 16, 16)));
    EXPECT_TRUE(CGRectEqualToRect(list.pairs[1].frame, CGRectMake(24, 88, 40, 12)));

    const CGPoint origin = cellAttachmentsOrigin(&view, list, second.get());
    EXPECT_EQ(origin.x, 24);
    EXPECT_EQ(origin.y, 88);
    const RecordingCell stranger(NSMakeSize(1, 1));
    const CGPoint none = cellAttachmentsOrigin(&view, list, &stranger);
    EXPECT_EQ(none.x, 0);
    EXPECT_EQ(none.y, 0);
    EXPECT_EQ(LogText(), "");
}

// A frame at y-up (4, 82) in a view 100 high is drawn at Qt (4, 2).
TEST_F(CellAttachments, DrawsEachRealCellInItsFrameAndReportsANullOne) {
    auto cell = Cell(16, 16);
    cellAttachmentsAdd(&view, list, nullptr, CGPointMake(0, 0));
    cellAttachmentsAdd(&view, list, cell, CGPointMake(4, 82));
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    cellAttachmentsDraw(&view, list, CGRectMake(0, 0, 200, 100), painter);
    ASSERT_EQ(cell->drawn.size(), 1u);
    EXPECT_EQ(cell->drawn[0], QRectF(4, 2, 16, 16));
    EXPECT_EQ(LogText(), "VERIFY FAILED:  code : cell in /Code/sdk/RiradI/UICocoaViews/NSView_CellAttachments:136 "
                         "(-[NSView(NSViewCellAttachments) cellAttachmentsDraw:withRect:])\n");
}

// Clicks in Qt coordinates; the frames below, y-up in a view 100 high:
//   a (10, 70, 40, 20): Qt rows 10 ... 29     b (30, 60, 40, 20): Qt rows 20 ... 39
TEST_F(CellAttachments, FirstPairHoldingTheClickTakesIt) {
    auto a = Cell(40, 20), b = Cell(40, 20);
    cellAttachmentsAdd(&view, list, nullptr, CGPointMake(0, 0), CGSizeMake(200, 100));  // reported, skipped
    cellAttachmentsAdd(&view, list, a, CGPointMake(10, 70));
    cellAttachmentsAdd(&view, list, b, CGPointMake(30, 60));

    struct Case {
        QPointF click;
        RecordingCell *taker;
    } cases[] = {
        {{35, 25}, a.get()},  // both frames: the one added first
        {{35, 35}, b.get()},  // b only
        {{15, 10}, a.get()},  // a's top row
        {{15, 29}, a.get()},  // a's bottom row
        {{15, 30}, nullptr},  // just under a
        {{69, 39}, b.get()},  // b's bottom-right pixel
        {{70, 39}, nullptr},  // just right of b
        {{150, 80}, nullptr},
    };
    for (const Case &c : cases) {
        ClearLog();
        a->downs.clear();
        b->downs.clear();
        const QMouseEvent press = MouseEvent(&view, QEvent::MouseButtonPress, c.click);
        EXPECT_EQ(cellAttachmentsMouseDown(&view, list, &press), c.taker != nullptr) << c.click.x() << ", " << c.click.y();
        EXPECT_EQ(a->downs.size(), c.taker == a.get() ? 1u : 0u) << c.click.x() << ", " << c.click.y();
        EXPECT_EQ(b->downs.size(), c.taker == b.get() ? 1u : 0u) << c.click.x() << ", " << c.click.y();
        if (c.taker != nullptr) {
            EXPECT_TRUE(c.taker->isHighlighted());
            EXPECT_TRUE(c.taker->highlightedAtDown);
        }
        EXPECT_FALSE((c.taker == a.get() ? b : a)->isHighlighted());
        // The release ends the tracking of the cell that took the press, wherever it is.
        const QMouseEvent release = MouseEvent(&view, QEvent::MouseButtonRelease, QPointF(190, 90));
        EXPECT_EQ(cellAttachmentsMouseUp(&view, list, &release), c.taker != nullptr);
        if (c.taker != nullptr) {
            EXPECT_FALSE(c.taker->isHighlighted());
            EXPECT_EQ(c.taker->ups.back(), QPointF(190, 90));
        }
        EXPECT_EQ(LogText(), "VERIFY FAILED:  code : cell in /Code/sdk/RiradI/UICocoaViews/NSView_CellAttachments:84 "
                             "(-[NSView(NSViewCellAttachments) cellAttachmentsMouseDown:withEvent:])\n");
    }
    // No tracking: moves and releases are left to the view.
    const QMouseEvent move = MouseEvent(&view, QEvent::MouseMove, QPointF(35, 25));
    EXPECT_FALSE(cellAttachmentsMouseDragged(&view, list, &move));
}

// A button released inside sends its action; released outside it does not.
TEST_F(CellAttachments, ButtonSendsItsActionWhenReleasedInside) {
    PressReceiver receiver;
    auto button = std::make_shared<NSButtonCell>();
    button->setTitle("Go");
    button->setTarget(&receiver);
    button->setAction("pressed:");
    cellAttachmentsAdd(&view, list, button, CGPointMake(10, 10), CGSizeMake(40, 20));  // Qt rows 70 ... 89

    const QMouseEvent press = MouseEvent(&view, QEvent::MouseButtonPress, QPointF(20, 80));
    ASSERT_TRUE(cellAttachmentsMouseDown(&view, list, &press));
    const QMouseEvent inside = MouseEvent(&view, QEvent::MouseButtonRelease, QPointF(30, 75));
    ASSERT_TRUE(cellAttachmentsMouseUp(&view, list, &inside));
    ASSERT_EQ(receiver.senders.size(), 1u);
    EXPECT_EQ(receiver.senders[0], button.get());

    ASSERT_TRUE(cellAttachmentsMouseDown(&view, list, &press));
    const QMouseEvent outside = MouseEvent(&view, QEvent::MouseButtonRelease, QPointF(120, 75));
    ASSERT_TRUE(cellAttachmentsMouseUp(&view, list, &outside));
    EXPECT_EQ(receiver.senders.size(), 1u);
    EXPECT_FALSE(button->isHighlighted());
}

// Pairs hold their cells: copies share, assignment lets the old cell go, and the list (with
// its view) lets each cell go once.
TEST(CellAttachmentsOwnership, PairsHoldTheirCells) {
    int destroyed = 0;
    std::weak_ptr<NSCell> watched;
    {
        NSViewCellAttachments list;
        auto cell = std::make_shared<RecordingCell>(NSMakeSize(4, 4), &destroyed);
        watched = cell;
        cellAttachmentsAdd(nullptr, list, cell, CGPointMake(0, 0));
        cellAttachmentsAdd(nullptr, list, cell, CGPointMake(8, 0));
        cell.reset();
        EXPECT_FALSE(watched.expired());

        NSViewCellAttachments::Pair copy = list.pairs[0];
        EXPECT_EQ(watched.use_count(), 3);
        copy = NSViewCellAttachments::Pair(std::make_shared<RecordingCell>(NSMakeSize(1, 1), &destroyed), CGRectZero);
        EXPECT_EQ(watched.use_count(), 2);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(destroyed, 2);  // the assigned cell and the attached one, once each
}

}  // namespace

#include "CellAttachmentsTest.moc"
