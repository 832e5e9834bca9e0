#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSTableView_Utilities.h>
#include <UICocoaControls/NSUITargetActionView.h>
#include <UICocoaControls/category_NSUIDropViewParam.h>

#include <Foundation/NSKeyValueCoding.h>
#include <dispatch/dispatch.h>

#include "../RiradITestApplication.h"

#include <QDropEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace category_NSUIDropViewParam;

class Receiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void contentsChanged(QObject *sender) {
        senders.push_back(sender);
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<QObject *> senders;
    std::vector<std::thread::id> threads;
};

// A cache that answers from a table, or, when slow, only once the test lets it go (a source
// that takes its time), noting the thread it was asked on.
class Cache : public protocol_URLCached {
public:
    QString getURLCachedPathName(const QUrl &url) override {
        {
            std::unique_lock lock(mutex);
            asked.push_back(url);
            askedOn.push_back(std::this_thread::get_id());
            if (slow) released.wait_for(lock, std::chrono::seconds(20), [&] { return !slow; });
            answeredAt = std::chrono::steady_clock::now();
        }
        return url.toString().contains("cached") ? QStringLiteral("/cache/") + url.fileName() : QString();
    }
    void release() {
        std::lock_guard lock(mutex);
        slow = false;
        released.notify_all();
    }
    std::mutex mutex;
    std::condition_variable released;
    bool slow = false;
    std::vector<QUrl> asked;
    std::vector<std::thread::id> askedOn;
    std::chrono::steady_clock::time_point answeredAt;
};

// A drop well: holds its contents, takes drops of files and addresses.
class DropWell : public NSUITargetActionView, public NSUIDropViewContents {
    Q_OBJECT
    Q_PROPERTY(QString pathParamValue READ pathParamValue WRITE setPathParamValue)
    Q_PROPERTY(QString URLParamValue READ URLParamValue WRITE setURLParamValue)
public:
    DropWell() { setAcceptDrops(true); }
    std::shared_ptr<protocol_URLCached> contentsURLDelegate() const override { return cache; }
    int contentsType() const override { return type; }
    QVariant contents() const override { return value; }
    void setContents(const QVariant &contents, int contentsType) override {
        value = contents;
        type = contentsType;
    }
    void clearContents() override {
        value = QVariant();
        type = 0;
        ++clears;
    }
    QString pathParamValue() { return category_NSUIDropViewParam::pathParamValue(this); }
    void setPathParamValue(const QString &path) { category_NSUIDropViewParam::setPathParamValue(this, path); }
    QString URLParamValue() { return category_NSUIDropViewParam::URLParamValue(this); }
    void setURLParamValue(const QString &url) { category_NSUIDropViewParam::setURLParamValue(this, url); }

    std::shared_ptr<Cache> cache;
    QVariant value;
    int type = 0;
    int clears = 0;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override {
        if (canTakeDroppedData(event->mimeData())) event->acceptProposedAction();
    }
    void dropEvent(QDropEvent *event) override {
        if (takeDroppedData(this, event->mimeData())) event->acceptProposedAction();
    }
};

class DropParam : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        dispatch_main_queue_drain();
        well.setTarget(&receiver);
        well.setAction("contentsChanged:");
    }
    // Serves the main queue until the well's URL is no longer with its delegate.
    bool WaitForURL() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (isURLParamValuePending(&well) && std::chrono::steady_clock::now() < deadline) {
            dispatch_main_queue_drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return !isURLParamValuePending(&well);
    }
    bool Drop(QMimeData *data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&well, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&well, &drop);
        return drop.isAccepted();
    }
    Receiver receiver;
    DropWell well;
};

TEST_F(DropParam, SettersReplaceTheContentsAndFireOnce) {
    struct Row {
        void (*set)(QObject *, const QString &);
        QString value;
        QString name, path, url;  // what each getter answers afterwards
    };
    const std::vector<Row> rows = {
        {setPathParamValue, "/pictures/mask.png", "", "/pictures/mask.png", ""},
        {setNameParamValue, "Circle", "Circle", "", ""},  // replaces the path
        {setURLParamValue, "http://example.org/a.png", "", "", "http://example.org/a.png"},
        {setURLParamValue, "http://exa mple.org/", "", "", "http://example.org/a.png"},  // invalid: no change
        {setURLParamValue, "", "", "", "http://example.org/a.png"},
        {setNameParamValue, "", "", "", ""},
    };
    size_t fired = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value.toStdString());
        const QString before = well.value.toString();
        row.set(&well, row.value);
        const bool changed = !(row.set == setURLParamValue && row.url == before);
        fired += changed ? 1 : 0;
        ASSERT_EQ(receiver.senders.size(), fired);
        if (changed) {
            EXPECT_EQ(receiver.senders.back(), &well);
        }
        EXPECT_EQ(nameParamValue(&well), row.name);
        EXPECT_EQ(pathParamValue(&well), row.path);
        EXPECT_EQ(URLParamValue(&well), row.url);
    }
    EXPECT_EQ(well.clears, 4);

    // Through key-value coding, as the settings reach it.
    NSKeyValueCoding::setValueForKey(&well, QStringLiteral("/a/b.jpg"), "pathParamValue");
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&well, "pathParamValue"), QVariant(QStringLiteral("/a/b.jpg")));
}

// A control without the primitives answers nil and only fires its action.
TEST_F(DropParam, PlainControl) {
    NSUITargetActionView plain;
    plain.setTarget(&receiver);
    plain.setAction("contentsChanged:");
    setPathParamValue(&plain, "/x");
    setNameParamValue(&plain, "x");
    setURLParamValue(&plain, "http://example.org/");
    setURLParamValue(&plain, "::bad::");
    EXPECT_EQ(receiver.senders.size(), 3u);
    EXPECT_TRUE(pathParamValue(&plain).isNull());
    EXPECT_TRUE(nameParamValue(&plain).isNull());
    EXPECT_TRUE(URLParamValue(&plain).isNull());
    EXPECT_FALSE(isURLParamValuePending(&plain));

    // A control that is not a target-action view fires through the view target-action category.
    NSSlider slider;
    slider.setTarget(&receiver);
    slider.setAction("contentsChanged:");
    setNameParamValue(&slider, "x");
    ASSERT_EQ(receiver.senders.size(), 4u);
    EXPECT_EQ(receiver.senders.back(), &slider);
    QObject bare;  // no target and action at all: nothing
    setNameParamValue(&bare, "x");
    EXPECT_EQ(receiver.senders.size(), 4u);
}

// The delegate is asked off the main thread; the answer lands on the main thread.
TEST_F(DropParam, URLWithADelegate) {
    well.cache = std::make_shared<Cache>();
    setURLParamValue(&well, "http://example.org/cached/a.png");
    EXPECT_TRUE(isURLParamValuePending(&well));
    ASSERT_TRUE(WaitForURL());
    ASSERT_EQ(well.cache->askedOn.size(), 1u);
    EXPECT_NE(well.cache->askedOn[0], std::this_thread::get_id());
    EXPECT_EQ(pathParamValue(&well), QStringLiteral("/cache/a.png"));  // cached: held as a path
    EXPECT_TRUE(URLParamValue(&well).isNull());
    ASSERT_EQ(receiver.senders.size(), 1u);
    EXPECT_EQ(receiver.threads[0], std::this_thread::get_id());

    setURLParamValue(&well, "http://example.org/fresh.png");
    ASSERT_TRUE(WaitForURL());
    EXPECT_EQ(URLParamValue(&well), QStringLiteral("http://example.org/fresh.png"));
    EXPECT_EQ(receiver.senders.size(), 2u);

    setURLParamValue(&well, "not a url at all");  // invalid: the delegate is not even asked
    EXPECT_FALSE(isURLParamValuePending(&well));
    EXPECT_EQ(well.cache->asked.size(), 2u);
}

// A slow source never holds up the main thread; a newer setting wins over a late answer, and a
// control that goes away takes its late answer with it.
TEST_F(DropParam, SlowSourceStaysOffTheMainThread) {
    auto cache = std::make_shared<Cache>();
    cache->slow = true;
    well.cache = cache;
    const auto before = std::chrono::steady_clock::now();
    setURLParamValue(&well, "http://example.org/cached/slow.png");
    const auto returned = std::chrono::steady_clock::now();
    // The main thread goes on serving events while the source takes its time.
    riradi_test::RunPendingEvents();
    EXPECT_TRUE(isURLParamValuePending(&well));
    EXPECT_TRUE(receiver.senders.empty());
    cache->release();
    ASSERT_TRUE(WaitForURL());
    EXPECT_LT(returned, cache->answeredAt);  // the call returned before the source answered
    (void)before;
    EXPECT_EQ(pathParamValue(&well), QStringLiteral("/cache/slow.png"));
    EXPECT_EQ(receiver.senders.size(), 1u);

    // Superseded: the name set meanwhile stays.
    cache->slow = true;
    setURLParamValue(&well, "http://example.org/cached/late.png");
    setNameParamValue(&well, "Star");
    EXPECT_FALSE(isURLParamValuePending(&well));
    cache->release();
    for (int i = 0; i < 200 && cache->asked.size() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dispatch_main_queue_drain();
    EXPECT_EQ(nameParamValue(&well), QStringLiteral("Star"));
    EXPECT_EQ(receiver.senders.size(), 2u);

    // The control goes away before the answer: the answer is dropped.
    {
        DropWell doomed;
        doomed.cache = cache;
        cache->slow = true;
        setURLParamValue(&doomed, "http://example.org/cached/gone.png");
    }
    cache->release();
    for (int i = 0; i < 200 && cache->asked.size() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dispatch_main_queue_drain();
    EXPECT_EQ(receiver.senders.size(), 2u);
}

TEST_F(DropParam, DropsOfFilesAndAddresses) {
    const std::vector<std::tuple<QList<QUrl>, QString, QString, QString>> rows = {
        {{QUrl::fromLocalFile("/pictures/with space.png")}, "", "/pictures/with space.png", ""},
        {{QUrl("https://example.org/mask.png"), QUrl::fromLocalFile("/second")}, "", "", "https://example.org/mask.png"},
    };
    for (const auto &[urls, name, path, url] : rows) {
        QMimeData data;
        data.setUrls(urls);
        EXPECT_TRUE(Drop(&data));
        EXPECT_EQ(pathParamValue(&well), path);
        EXPECT_EQ(URLParamValue(&well), url);
    }
    QMimeData text;
    text.setText(" https://example.org/typed.png\n");
    EXPECT_TRUE(Drop(&text));
    EXPECT_EQ(URLParamValue(&well), QStringLiteral("https://example.org/typed.png"));
    EXPECT_EQ(receiver.senders.size(), 3u);

    QMimeData words;
    words.setText("just words");
    EXPECT_FALSE(Drop(&words));
    QMimeData empty;
    EXPECT_FALSE(Drop(&empty));
    QMimeData noPath;  // a file URL without a path
    noPath.setUrls({QUrl("file:")});
    EXPECT_FALSE(Drop(&noPath));
    EXPECT_EQ(receiver.senders.size(), 3u);

    // A dropped address with a delegate is looked up off the main thread, as above.
    well.cache = std::make_shared<Cache>();
    QMimeData cached;
    cached.setUrls({QUrl("https://example.org/cached/m.png")});
    EXPECT_TRUE(Drop(&cached));
    ASSERT_TRUE(WaitForURL());
    EXPECT_EQ(pathParamValue(&well), QStringLiteral("/cache/m.png"));
}

TEST_F(DropParam, DropHighlight) {
    well.resize(40, 30);
    QPalette palette = well.palette();
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 100, 200, 80));
    well.setPalette(palette);
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::red);
    drawRectDropHighlight(&well, painter);
    EXPECT_EQ(painter.pen().color(), QColor(Qt::red));  // the state is restored
    painter.end();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(10, 100, 200));    // opaque tint on the edge
    EXPECT_EQ(image.pixelColor(2, 15), QColor(10, 100, 200));   // 3 pixels inside the bounds
    EXPECT_EQ(image.pixelColor(3, 15), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(20, 15), QColor(Qt::white));
}

TEST(TableFont, RowsFitTheFont) {
    riradi_test::Application();
    QStandardItemModel model(4, 3);
    QTableView table;
    table.setModel(&model);
    const QString headerFont = table.horizontalHeader()->font().toString();
    for (int size : {13, 30, 6}) {
        QFont font = table.font();
        font.setPixelSize(size);
        NSTableViewUtilities::setFontUtility(&table, font);
        const int expected = static_cast<int>(std::ceil(static_cast<float>(QFontMetricsF(font).lineSpacing()) + 2.0f));
        for (int row = 0; row < model.rowCount(); ++row) EXPECT_EQ(table.rowHeight(row), expected) << size;
        EXPECT_EQ(table.font().pixelSize(), size);
        EXPECT_EQ(table.horizontalHeader()->font().toString(), headerFont);
        model.appendRow(new QStandardItem("new"));
        EXPECT_EQ(table.rowHeight(model.rowCount() - 1), expected) << "a row added later";
    }
    NSTableViewUtilities::setFontUtility(nullptr, QFont());
}

}  // namespace

#include "DropParamTest.moc"
