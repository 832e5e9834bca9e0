// The placeholder and the holder: installing views from a nib's outlet and by message, the
// refusal of a sender that is not a view, and how installed views are fitted.
#include <UICocoaViews/NSUIViewHolder.h>
#include <UICocoaViews/NSUIViewPlaceholder.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <gtest/gtest.h>

#include <QLabel>

#include <memory>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

// The owner of the placeholder panel: its outlets are found by object name.
class PanelOwner : public QObject {
    Q_OBJECT
    Q_PROPERTY(NSUIViewPlaceholder *outletSlot MEMBER outletSlot)
    Q_PROPERTY(NSUIViewPlaceholder *outletEmptySlot MEMBER outletEmptySlot)
    Q_PROPERTY(NSUIViewPlaceholder *outletBrokenSlot MEMBER outletBrokenSlot)
    // An outlet of the wrong class for the object of that name.
    Q_PROPERTY(QLabel *panel MEMBER panel)
public:
    NSUIViewPlaceholder *outletSlot = nullptr;
    NSUIViewPlaceholder *outletEmptySlot = nullptr;
    NSUIViewPlaceholder *outletBrokenSlot = nullptr;
    QLabel *panel = nullptr;
};

class PlaceholderTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {};

TEST_F(PlaceholderTest, NibConnectsOutletsAndWakesThePlaceholders) {
    PanelOwner owner;
    QList<QObject *> objects;
    corex_test::CapturedOutput errors(STDERR_FILENO);
    std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("PlaceholderPanel"));
    ASSERT_NE(nib, nullptr);
    ASSERT_TRUE(nib->instantiateNibWithOwner(&owner, &objects));
    const std::string text = errors.Finish();
    ASSERT_EQ(objects.size(), 1);
    std::unique_ptr<QObject> root(objects[0]);
    EXPECT_EQ(root->objectName(), "panel");

    ASSERT_NE(owner.outletSlot, nullptr);
    ASSERT_NE(owner.outletEmptySlot, nullptr);
    EXPECT_EQ(owner.panel, nullptr);
    EXPECT_NE(text.find("outlet panel of the owner PanelOwner cannot hold a QWidget"), std::string::npos) << text;
    EXPECT_NE(text.find("outlet installThisView of outletBrokenSlot not connected to \"noSuchView\" (no such object)"),
              std::string::npos)
        << text;

    // The connected view was installed at wake-up, fitted to the placeholder.
    auto *page = root->findChild<QLabel *>(QStringLiteral("page"));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(owner.outletSlot->initialView(), page);
    EXPECT_EQ(page->parentWidget(), owner.outletSlot);
    EXPECT_EQ(page->geometry(), QRect(0, 0, 200, 100));
    // Placeholders without a connected view stay empty.
    EXPECT_EQ(owner.outletEmptySlot->initialView(), nullptr);
    EXPECT_TRUE(owner.outletEmptySlot->children().isEmpty());
    EXPECT_TRUE(owner.outletBrokenSlot->children().isEmpty());
    EXPECT_EQ(LogText(), "");
}

TEST_F(PlaceholderTest, InstallingByMessageKeepsEarlierViews) {
    NSUIViewPlaceholder placeholder;
    placeholder.resize(200, 100);
    auto *first = new QLabel(QStringLiteral("first"));
    auto *second = new QLabel(QStringLiteral("second"));
    placeholder.installView(first);
    performSelector(&placeholder, "installSender:", NSKeyValueCoding::variantFromObject(second));
    EXPECT_EQ(placeholder.findChildren<QWidget *>(), (QList<QWidget *>{first, second}));
    EXPECT_TRUE(first->isVisibleTo(&placeholder));
    EXPECT_EQ(second->geometry(), QRect(0, 0, 200, 100));
    EXPECT_EQ(LogText(), "");
}

TEST_F(PlaceholderTest, SenderThatIsNotAViewIsRefused) {
    const std::string report = "VERIFY FAILED:  code : sender in /Code/sdk/RiradI/UICocoaViews/NSUIViewPlaceholder:54 "
                               "(-[NSUIViewPlaceholder installSender:])\n";
    NSUIViewPlaceholder placeholder;
    QObject notAView;
    placeholder.installSender(&notAView);
    EXPECT_EQ(LogText(), report);
    ClearLog();
    placeholder.installSender(nullptr);
    EXPECT_EQ(LogText(), report);
    EXPECT_TRUE(placeholder.children().isEmpty());
}

TEST_F(PlaceholderTest, InstalledViewsFollowThePlaceholderByTheirSizePolicy) {
    struct Case {
        QSizePolicy::Policy horizontal, vertical;
        QSize fitted;   // in a 200 x 100 placeholder, from 50 x 30 at (5, 5)
        QSize resized;  // after the placeholder grows to 260 x 90
    };
    for (const Case &c : {
             Case{QSizePolicy::Preferred, QSizePolicy::Expanding, {200, 100}, {260, 90}},
             Case{QSizePolicy::Fixed, QSizePolicy::Preferred, {50, 100}, {50, 90}},
             Case{QSizePolicy::Ignored, QSizePolicy::Fixed, {200, 30}, {260, 30}},
             Case{QSizePolicy::Fixed, QSizePolicy::Fixed, {50, 30}, {50, 30}},
         }) {
        SCOPED_TRACE(::testing::Message() << c.horizontal << "/" << c.vertical);
        NSUIViewPlaceholder placeholder;
        placeholder.resize(200, 100);
        auto *view = new QWidget;
        view->setGeometry(5, 5, 50, 30);
        view->setSizePolicy(c.horizontal, c.vertical);
        placeholder.installView(view);
        EXPECT_EQ(view->pos(), QPoint(5, 5));
        EXPECT_EQ(view->size(), c.fitted);
        placeholder.resize(260, 90);  // hidden: caught up at the next install or show
        placeholder.show();
        EXPECT_EQ(view->size(), c.resized);
    }
}

TEST_F(PlaceholderTest, HolderIsAPlainContainerMadeByName) {
    QObject *made = NSClassCreateInstance(NSClassFromString(QStringLiteral("NSUIViewHolder")));
    std::unique_ptr<NSUIViewHolder> holder(qobject_cast<NSUIViewHolder *>(made));
    ASSERT_NE(holder, nullptr);
    EXPECT_FALSE(holder->autoFillBackground());
    EXPECT_TRUE(holder->acceptsFirstMouse(nullptr));
    EXPECT_TRUE(import_NSUIViewPlaceholder());
}

}  // namespace

#include "PlaceholderTest.moc"
