// The nibbler: the order of its hooks with nested nibblers, what a failed or refused load
// leaves, nib names, model updates and window placement.
#include <UICocoaViews/NSUIViewNibbler.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>

#include <gtest/gtest.h>

#include <QLabel>

#include <string>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

std::vector<std::string> &Events() {
    static std::vector<std::string> events;
    return events;
}
void Record(const QString &event) { Events().push_back(event.toStdString()); }

// A nibbler that records its hooks under a short name.
class RecordingNibbler : public NSUIViewNibbler {
    Q_OBJECT
    Q_PROPERTY(QString inspectorText READ inspectorText WRITE setInspectorText)
public:
    explicit RecordingNibbler(const QString &tag) : mTag(tag) {
        Record(mTag + ".construct");
        connect(this, &NSUIViewNibbler::nibblerViewChanged, this, [this] { Record(mTag + ".nibblerView"); });
    }
    QString inspectorText() const { return mInspectorText; }
    void setInspectorText(const QString &text) {
        mInspectorText = text;
        Record(mTag + ".inspectorText");
    }
    void awakeFromNib() override {
        Record(QStringLiteral("%1.awakeFromNib constructed=%2").arg(mTag).arg(constructed()));
        NSUIViewNibbler::awakeFromNib();
    }
    void awakeFromNibbler() override {
        const bool installed = nibblerView() != nullptr && nibblerView()->parentWidget() == this;
        Record(mTag + ".awakeFromNibbler" + (installed ? " installed" : ""));
    }

protected:
    QString mTag;
    QString mInspectorText;
};

class InnerNibbler : public RecordingNibbler {
    Q_OBJECT
    Q_PROPERTY(QWidget *outletLabel READ outletLabel WRITE setOutletLabel)
public:
    InnerNibbler() : RecordingNibbler(QStringLiteral("Inner")) {}
    QWidget *outletLabel() const { return mLabel; }
    void setOutletLabel(QWidget *label) {
        mLabel = label;
        Record(QStringLiteral("Inner.outletLabel"));
    }

private:
    QPointer<QWidget> mLabel;
};
NS_REGISTER_CLASS(InnerNibbler);

class OuterNibbler : public RecordingNibbler {
    Q_OBJECT
    Q_PROPERTY(InnerNibbler *outletInner READ outletInner WRITE setOutletInner)
public:
    OuterNibbler() : RecordingNibbler(QStringLiteral("Outer")) {}
    InnerNibbler *outletInner() const { return mInner; }
    void setOutletInner(InnerNibbler *inner) {
        mInner = inner;
        Record(QStringLiteral("Outer.outletInner"));
    }

private:
    QPointer<InnerNibbler> mInner;
};

// A nibbler whose nib holds another of its own class.
class SelfNibbler : public NSUIViewNibbler {
    Q_OBJECT
public:
    using NSUIViewNibbler::NSUIViewNibbler;
};
NS_REGISTER_CLASS(SelfNibbler);

// Nibblers loading the nib of another class, refusing to load, or failing while loading.
class BorrowingNibbler : public NSUIViewNibbler {
    Q_OBJECT
public:
    QString classNibName() const override { return QStringLiteral("InnerNibbler"); }
    bool shouldInstantiateOnThisVersionOfOSX() const override { return mAllowed; }
    void awakeFromNibbler() override {
        if (mThrows) NSException::raise(NSGenericException, QStringLiteral("broken panel"));
    }
    bool mAllowed = true;
    bool mThrows = false;
};

class NibblerTest : public ::testing::Test {
protected:
    void SetUp() override {
        riradi_test::Application();
        Events().clear();
    }
};

std::vector<std::string> Lines(std::initializer_list<const char *> lines) { return {lines.begin(), lines.end()}; }

TEST_F(NibblerTest, HooksRunInOrderThroughNestedNibs) {
    OuterNibbler outer;
    outer.resize(200, 100);
    EXPECT_EQ(outer.constructed(), 0u);
    EXPECT_TRUE(outer.children().isEmpty());  // nothing loads before awakeFromNib

    outer.awakeFromNib();  // as a host nib would send it
    EXPECT_EQ(Events(), Lines({
                            "Outer.construct",
                            "Outer.awakeFromNib constructed=0",
                            // the outer nib: objects and their inspector attributes
                            "Inner.construct",
                            "Inner.inspectorText",
                            // the outer nib's outlets into its owner
                            "Outer.nibblerView",
                            "Outer.outletInner",
                            // awakeFromNib to the outer nib's objects: the inner nibbler
                            // loads its own nib, wakes as its owner and installs its view
                            "Inner.awakeFromNib constructed=0",
                            "Inner.nibblerView",
                            "Inner.outletLabel",
                            "Inner.awakeFromNib constructed=1",
                            "Inner.awakeFromNibbler",
                            // then to the outer nib's owner, before its view is installed
                            "Outer.awakeFromNib constructed=1",
                            "Outer.awakeFromNibbler",
                        }));
    ASSERT_NE(outer.outletInner(), nullptr);
    InnerNibbler *inner = outer.outletInner();
    EXPECT_EQ(inner->inspectorText(), "from the host nib");
    EXPECT_EQ(inner->constructed(), 1u);
    EXPECT_EQ(inner->nibblerView()->parentWidget(), inner);
    EXPECT_EQ(qobject_cast<QLabel *>(inner->outletLabel())->text(), "inner");
    // Each view is installed once, as the only sub-view, fitted to its nibbler.
    EXPECT_EQ(outer.findChildren<QWidget *>(Qt::FindDirectChildrenOnly), QList<QWidget *>{outer.nibblerView()});
    EXPECT_EQ(outer.nibblerView()->geometry(), QRect(0, 0, 200, 100));
    EXPECT_EQ(inner->findChildren<QWidget *>(Qt::FindDirectChildrenOnly), QList<QWidget *>{inner->nibblerView()});
    EXPECT_EQ(inner->nibblerView()->size(), QSize(60, 40));
    EXPECT_EQ(outer.topLevelObjects(), QList<QObject *>{outer.nibblerView()});
    EXPECT_EQ(outer.nibblerSubView(), outer.nibblerView());

    // A later awakeFromNib runs only awakeFromNibbler.
    Events().clear();
    outer.awakeFromNib();
    EXPECT_EQ(Events(), Lines({"Outer.awakeFromNib constructed=1", "Outer.awakeFromNibbler installed"}));
    EXPECT_EQ(outer.constructed(), 1u);
    EXPECT_EQ(outer.children().size(), 1);
}

TEST_F(NibblerTest, InstalledViewFollowsTheNibblersSize) {
    OuterNibbler outer;
    outer.resize(200, 100);
    outer.awakeFromNib();
    outer.show();
    outer.resize(260, 90);
    EXPECT_EQ(outer.nibblerView()->geometry(), QRect(0, 0, 260, 90));
    // Hidden, the size is caught up when the nibbler next shows.
    outer.hide();
    outer.resize(100, 50);
    outer.show();
    EXPECT_EQ(outer.nibblerView()->geometry(), QRect(0, 0, 100, 50));
}

TEST_F(NibblerTest, NibNamesAndRefusedLoads) {
    // The class's own name, another class's nib, and a name set before waking.
    EXPECT_EQ(OuterNibbler().defaultNibName(), "OuterNibbler");
    EXPECT_EQ(OuterNibbler().multiViewTitle(), "OuterNibbler");
    BorrowingNibbler borrowing;
    EXPECT_EQ(borrowing.defaultNibName(), "InnerNibbler");
    borrowing.awakeFromNib();
    ASSERT_NE(borrowing.nibblerView(), nullptr);
    EXPECT_EQ(borrowing.nibblerView()->parentWidget(), &borrowing);

    BorrowingNibbler renamed;
    renamed.setDefaultNibName(QStringLiteral("NoViewNibbler"));
    EXPECT_EQ(renamed.defaultNibName(), "NoViewNibbler");
    // A nib that loads without setting nibblerView: kept, counted, nothing installed.
    EXPECT_FALSE(renamed.instantiateObjectGraphWithNibName(renamed.defaultNibName()));
    EXPECT_EQ(renamed.constructed(), 1u);
    ASSERT_EQ(renamed.topLevelObjects().size(), 1);
    EXPECT_EQ(renamed.topLevelObjects()[0]->objectName(), "notTheNibblerView");
    EXPECT_TRUE(renamed.children().isEmpty());

    // No nib name: nothing is tried.
    BorrowingNibbler unnamed;
    unnamed.setDefaultNibName(QString());
    unnamed.awakeFromNib();
    EXPECT_EQ(unnamed.constructed(), 0u);

    // A class that refuses to load stays unconstructed, so the next wake-up tries again.
    BorrowingNibbler refusing;
    refusing.mAllowed = false;
    refusing.awakeFromNib();
    EXPECT_EQ(refusing.constructed(), 0u);
    EXPECT_EQ(refusing.nibblerView(), nullptr);
    refusing.mAllowed = true;
    refusing.awakeFromNib();
    EXPECT_EQ(refusing.constructed(), 1u);
    EXPECT_NE(refusing.nibblerView(), nullptr);
}

TEST_F(NibblerTest, UnloadableNibsAreReportedAndLeaveAnEmptyView) {
    struct Case {
        const char *nib;
        const char *report;
    };
    for (const Case &c : {
             Case{"Missing", "NSNib: no nib named \"Missing\""},
             Case{"Malformed", "NSNib \"Malformed\": the form cannot be read: line 7"},
             Case{"NotAForm", "NSNib \"NotAForm\": the form builds nothing"},
             Case{"SelfNibbler", "NSNib \"SelfNibbler\": nibs nested deeper than 32"},
         }) {
        SCOPED_TRACE(c.nib);
        corex_test::CapturedOutput errors(STDERR_FILENO);
        BorrowingNibbler nibbler;
        nibbler.setDefaultNibName(QString::fromLatin1(c.nib));
        nibbler.awakeFromNib();
        const std::string text = errors.Finish();
        EXPECT_NE(text.find(c.report), std::string::npos) << text;
        EXPECT_EQ(nibbler.constructed(), 1u);  // a failed load is not retried
        if (std::string(c.nib) != "SelfNibbler") {
            EXPECT_TRUE(nibbler.children().isEmpty());
            EXPECT_TRUE(nibbler.topLevelObjects().isEmpty());
        }
    }
}

TEST_F(NibblerTest, ExceptionWhileLoadingIsLoggedAndLeavesAnEmptyView) {
    corex_test::CapturedOutput errors(STDERR_FILENO);
    BorrowingNibbler nibbler;
    nibbler.mThrows = true;
    nibbler.awakeFromNib();
    const std::string text = errors.Finish();
    EXPECT_NE(text.find("NSUIViewNibbler::instantiateObjectGraphWithNibName:InnerNibbler exception:"
                        "NSGenericException: broken panel"),
              std::string::npos)
        << text;
    EXPECT_EQ(nibbler.constructed(), 1u);
    EXPECT_EQ(nibbler.nibblerView(), nullptr);  // the nib's objects are gone
    EXPECT_TRUE(nibbler.children().isEmpty());
    EXPECT_TRUE(nibbler.topLevelObjects().isEmpty());
}

class ModelListener : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void actionNibblerModelUpdated(QObject *model) { received.append(model); }
    QList<QObject *> received;
};

TEST_F(NibblerTest, ModelUpdatesGoToADelegateThatAnswersThem) {
    NSUIViewNibbler nibbler;
    QObject model;
    nibbler.actionNibblerModelUpdated(&model);  // no delegate: nothing happens

    QObject deaf;
    nibbler.setDelegate(&deaf);
    nibbler.actionNibblerModelUpdated(&model);  // a delegate without the method: nothing

    {
        ModelListener listener;
        nibbler.setDelegate(&listener);
        nibbler.actionNibblerModelUpdated(&model);
        nibbler.actionNibblerModelUpdated(nullptr);
        EXPECT_EQ(listener.received, (QList<QObject *>{&model, nullptr}));
    }
    EXPECT_EQ(nibbler.delegate(), nullptr);  // not owned: gone with the listener
    nibbler.actionNibblerModelUpdated(&model);
}

TEST_F(NibblerTest, WindowPlacementAgainstAView) {
    // A view whose bottom-left corner is at (300, 500) on the screen, 200 wide.
    QWidget view;
    view.setGeometry(300, 400, 200, 100);
    QWidget window;
    window.setGeometry(10, 20, 400, 100);

    NSUIViewNibbler::alignWindowTopLeft(&window, &view);
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(300, 500));
    EXPECT_EQ(window.size(), QSize(400, 100));

    window.move(10, 77);
    NSUIViewNibbler::centerWindow(&window, &view);
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(200, 77));
}

}  // namespace

#include "NibblerTest.moc"
