// Multi-view boxes: pages that join their box from a nib, the pop-up's sorted list, refusals
// and their reports, and the titles of plain and titled pages.
#include <NSUIMultiViewController/NSUIMultiViewBox.h>
#include <NSUIMultiViewController/NSUIMultiViewHolder.h>
#include <NSUIMultiViewController/NSUIMultiViewHolderTitled.h>
#include <NSUIMultiViewController/NSUIMultiViewPopUpBox.h>
#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "MultiViewBoxPanel.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class MultiViewBoxTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    static std::string Report(const char *text, int line, const char *function) {
        return std::string("VERIFY FAILED: ") + text + " in /Code/sdk/RiradI/NSUIMultiViewController/NSUIMultiViewBox:" +
               std::to_string(line) + " (" + function + ")\n";
    }
};

QStringList Items(const QComboBox &popUp) {
    QStringList items;
    for (int i = 0; i < popUp.count(); ++i) items.append(popUp.itemText(i));
    return items;
}

TEST_F(MultiViewBoxTest, PagesJoinTheirBoxFromTheNibSortedInThePopUp) {
    multiview_test::BoxPanel panel;
    ASSERT_TRUE(panel.Load());
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(Items(*panel.popup), (QStringList{"blur", "Noise"}));
    EXPECT_EQ(panel.box->titles(), (QStringList{"Noise", "blur"}));
    EXPECT_EQ(panel.noisePage->parentWidget(), panel.box->viewPlaceholder());
    // No page is shown until one is selected.
    EXPECT_EQ(panel.box->selectedView(), nullptr);
    EXPECT_FALSE(panel.noisePage->isVisibleTo(panel.box));
    EXPECT_FALSE(panel.blurPage->isVisibleTo(panel.box));
    EXPECT_EQ(panel.popup->currentIndex(), -1);

    // Choosing an entry shows its page; the pop-up follows selections made in code.
    panel.popup->setCurrentIndex(1);
    emit panel.popup->activated(1);
    EXPECT_EQ(panel.box->selectedView(), panel.noisePage);
    EXPECT_TRUE(panel.noisePage->isVisibleTo(panel.box));
    EXPECT_TRUE(panel.box->selectView(panel.blurPage));
    EXPECT_EQ(panel.popup->currentText(), "blur");
    EXPECT_FALSE(panel.noisePage->isVisibleTo(panel.box));
    EXPECT_TRUE(panel.blurPage->isVisibleTo(panel.box));
    EXPECT_EQ(LogText(), "");
}

TEST_F(MultiViewBoxTest, RefusalsAreReportedAndChangeNothing) {
    multiview_test::BoxPanel panel;
    ASSERT_TRUE(panel.Load());
    ASSERT_TRUE(panel.box->selectViewByMultiViewTitle(QStringLiteral("Noise")));

    // A second page with a title already used stays out of the box and the pop-up.
    auto *again = new NSUIMultiViewHolder;
    again->setToolTip(QStringLiteral("Noise"));
    again->setMultiViewBox(panel.box);
    again->awakeFromNib();
    EXPECT_EQ(LogText(), Report(" code : nil==[_viewsByTitle objectForKey:viewKey]", 104,
                                "-[NSUIMultiViewBox addView:selectView:]"));
    EXPECT_EQ(Items(*panel.popup), (QStringList{"blur", "Noise"}));
    EXPECT_EQ(again->parentWidget(), nullptr);
    delete again;

    struct Case {
        std::function<void()> act;
        std::string report;
    };
    QAction staleItem(QStringLiteral("Sharpen"));
    QWidget notAPage;
    NSUIMultiViewHolder homeless;
    NSUIMultiViewBox bare;
    const Case cases[] = {
        {[&] { panel.box->selectedViewByMenuItem(&staleItem); },
         Report(" code : newSelectedVisisbleView", 175, "-[NSUIMultiViewBox selectViewByMultiViewTitle:]") +
             Report(" code : [self selectViewByMultiViewTitle:[sender title]]", 212,
                    "-[NSUIMultiViewBox selectedViewByMenuItem:]")},
        {[&] { panel.box->addView(&notAPage); }, Report(" code : view", 98, "-[NSUIMultiViewBox addView:selectView:]")},
        {[&] { homeless.awakeFromNib(); }, Report(" code : _multiViewBox", 306, "-[NSUIMultiViewHolder awakeFromNib]")},
        {[&] { bare.selectDefaultPanel(nullptr); },
         Report(" code : _viewPlaceholder", 78, "-[NSUIMultiViewBox defaultView]") +
             Report(" code : [self selectViewDefault]", 90, "-[NSUIMultiViewBox selectDefaultPanel:]")},
    };
    for (const Case &c : cases) {
        ClearLog();
        c.act();
        EXPECT_EQ(LogText(), c.report);
        EXPECT_EQ(panel.box->selectedView(), panel.noisePage);
        EXPECT_TRUE(panel.noisePage->isVisibleTo(panel.box));
    }
    EXPECT_EQ(notAPage.parentWidget(), nullptr);
}

TEST_F(MultiViewBoxTest, PageTitles) {
    // A plain page: its tool tip, else a view_id title that ends in a line feed.
    NSUIMultiViewHolder plain;
    NSUIMultiViewPopUpBox box;
    const QString plainTitle = protocol_NSUIMultiViewBox::multiViewTitle(&plain);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^view_id:[0-9a-f]{8,16}\n$")).match(plainTitle).hasMatch())
        << plainTitle.toStdString();
    EXPECT_NE(plainTitle, protocol_NSUIMultiViewBox::multiViewTitle(&box));

    // A page without a tool tip is listed under that title.
    QComboBox popup;
    box.setPopupButton(&popup);
    EXPECT_TRUE(box.addView(&plain));
    EXPECT_EQ(Items(popup), QStringList{plainTitle});

    // A titled page takes its control's text: a field's string value, a button's title.
    NSUIMultiViewHolderTitled titled;
    QLineEdit field(QStringLiteral("Tint"));
    QPushButton button(QStringLiteral("Grain"));
    QObject nothing;
    struct Case {
        QObject *control;
        QString title;
    };
    for (const Case &c : {Case{&field, "Tint"}, Case{&button, "Grain"}, Case{&nothing, "multiViewTitle"}}) {
        titled.setMultiViewTitleValue(c.control);
        EXPECT_EQ(protocol_NSUIMultiViewBox::multiViewTitle(&titled), c.title);
    }
    EXPECT_EQ(LogText(), "");
    titled.setMultiViewTitleValue(nullptr);
    titled.setToolTip(QStringLiteral("Fallback"));
    EXPECT_EQ(titled.multiViewTitle(), "Fallback");
    EXPECT_EQ(LogText(), Report(" code : _multiViewTitleValue", 324, "-[NSUIMultiViewHolderTitled multiViewTitle]"));
}

}  // namespace
