// Image parameter views: drops of files and links, contents by name with the presets pop-up,
// and links whose pictures are fetched off the main thread.
#include <UICocoaControls/NSUIImageViewParam.h>

#include <dispatch/dispatch.h>

#include "../RiradITestApplication.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>

namespace {

QString WritePNG(const QTemporaryDir &folder, const char *name, QColor colour) {
    QImage picture(4, 3, QImage::Format_RGBA8888);
    picture.fill(colour);
    const QString path = folder.filePath(QString::fromLatin1(name));
    picture.save(path, "PNG");
    return path;
}

QColor ShownColour(const NSUIImageViewParam &view) {
    auto image = view.image();
    if (!image || image->representations().empty()) return QColor();
    return image->representations().front()->toQImage().pixelColor(0, 0);
}

bool Drop(QWidget *view, QMimeData *data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    return drop.isAccepted();
}

// Serves the main queue until the view is no longer fetching a link (at most 10 s).
bool WaitForPicture(const NSUIImageViewParam &view) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (view.isLoadingURL() && std::chrono::steady_clock::now() < end) {
        dispatch_main_queue_drain();
        QThread::msleep(2);
    }
    return !view.isLoadingURL();
}

struct ImageViewParam : riradi_test::WithApplication {
    ImageViewParam() { view.setPresets(&presets); }
    QTemporaryDir folder;
    QComboBox presets;
    NSUIImageViewParam view;
};

}  // namespace

TEST(NSUIImageViewParam, DroppedImageFileBecomesThePathParameter) {
    ImageViewParam t;
    const QString path = WritePNG(t.folder, "dropped.png", QColor(200, 10, 10));
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    ASSERT_TRUE(Drop(&t.view, data));
    EXPECT_EQ(t.view.contentsType(), kNSUIDropViewContentsPath);
    EXPECT_EQ(t.view.contents().toString(), path);
    EXPECT_EQ(ShownColour(t.view), QColor(200, 10, 10));
    delete data;

    // A web link is the URL parameter; its picture comes later, off the main thread.
    data = new QMimeData;
    data->setUrls({QUrl(QStringLiteral("https://example.invalid/picture.png"))});
    ASSERT_TRUE(Drop(&t.view, data));
    EXPECT_EQ(t.view.contentsType(), kNSUIDropViewContentsURL);
    EXPECT_EQ(t.view.contents().toString(), QStringLiteral("https://example.invalid/picture.png"));
    EXPECT_EQ(t.view.image(), nullptr);
    delete data;
    ASSERT_TRUE(WaitForPicture(t.view));
    EXPECT_EQ(t.view.image(), nullptr) << "nothing could be fetched";
}

TEST(NSUIImageViewParam, NamesSelectPresetsAndKeepUnknownNames) {
    ImageViewParam t;
    t.presets.addItem(QStringLiteral("Presets"));
    t.presets.addItem(QStringLiteral("stale"));
    t.view.setPresetsMenuResourceFileNames({QStringLiteral("Stars"), QStringLiteral("Moon")});
    ASSERT_EQ(t.presets.count(), 3);
    EXPECT_EQ(t.presets.itemText(1), QStringLiteral("Stars"));

    t.view.setContents(QStringLiteral("Moon"), kNSUIDropViewContentsName);  // no image of that name
    EXPECT_EQ(t.view.contents().toString(), QStringLiteral("Moon"));
    EXPECT_EQ(t.view.contentsType(), kNSUIDropViewContentsName);
    EXPECT_EQ(t.view.image(), nullptr);
    EXPECT_EQ(t.presets.currentIndex(), 2);

    const QString path = WritePNG(t.folder, "p.png", Qt::green);
    t.view.setContents(path, kNSUIDropViewContentsPath);
    EXPECT_EQ(t.presets.currentIndex(), 0) << "no preset for a path";

    // Choosing a preset sets the name parameter.
    emit t.presets.activated(1);
    EXPECT_EQ(t.view.contents().toString(), QStringLiteral("Stars"));
    EXPECT_EQ(t.view.contentsType(), kNSUIDropViewContentsName);

    // Showing an image directly forgets the contents.
    t.view.setImage(NSImage::imageWithQImage(QImage(2, 2, QImage::Format_RGBA8888)));
    EXPECT_FALSE(t.view.contents().isValid());
    EXPECT_EQ(t.view.contentsType(), kNSUIDropViewContentsEmpty);
    EXPECT_NE(t.view.image(), nullptr);
    EXPECT_EQ(t.view.removeAllCurrentPresetMenuItems(), &t.presets);
    EXPECT_EQ(t.presets.count(), 1);
}

// A link is never fetched on the main thread: a server that accepts and never answers leaves
// setContents returning at once, and newer contents win over the answer still on its way.
TEST(NSUIImageViewParam, LinksAreFetchedOffTheMainThread) {
    ImageViewParam t;
    const QString path = WritePNG(t.folder, "linked.png", QColor(0, 0, 250));
    t.view.setContents(QUrl::fromLocalFile(path).toString(), kNSUIDropViewContentsURL);
    EXPECT_EQ(t.view.image(), nullptr) << "not loaded on the calling thread";
    ASSERT_TRUE(WaitForPicture(t.view));
    EXPECT_EQ(ShownColour(t.view), QColor(0, 0, 250));

    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QElapsedTimer timer;
    timer.start();
    t.view.setContents(QStringLiteral("http://127.0.0.1:%1/slow.png").arg(silent.serverPort()),
                       kNSUIDropViewContentsURL);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(t.view.isLoadingURL());
    t.view.setContents(path, kNSUIDropViewContentsPath);
    EXPECT_FALSE(t.view.isLoadingURL());
    EXPECT_EQ(ShownColour(t.view), QColor(0, 0, 250));
    EXPECT_EQ(t.view.contentsType(), kNSUIDropViewContentsPath);
    // The new contents gave up the fetch from the silent server long before its time-out.
    QElapsedTimer ending;
    ending.start();
    while (NSUIImageViewParam::runningURLLoads() > 0 && ending.elapsed() < 5000) QThread::msleep(10);
    EXPECT_EQ(NSUIImageViewParam::runningURLLoads(), 0);
}
