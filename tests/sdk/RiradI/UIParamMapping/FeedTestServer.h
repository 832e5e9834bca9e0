// A small HTTP/1.1 server on the loopback interface for the feed tests, running on a thread
// of its own (so a synchronous download on the main thread is answered). Each path is given a
// canned response; unknown paths answer 404.
#pragma once

#include <dispatch/dispatch.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <functional>
#include <mutex>

namespace feed_test {

struct Response {
    int status = 200;
    QByteArray body;
    int delayMilliseconds = 0;  // wait this long before answering
    bool hang = false;          // read the request and never answer
    bool declareLength = true;  // send Content-Length (else the body ends with the connection)
};

class FeedTestServer {
public:
    FeedTestServer() {
        mThread.start();
        mServer = new QTcpServer;
        mServer->moveToThread(&mThread);
        QMetaObject::invokeMethod(
            mServer,
            [this] {
                QObject::connect(mServer, &QTcpServer::newConnection, mServer, [this] { Accept(); });
                mServer->listen(QHostAddress::LocalHost, 0);
                mPort = mServer->serverPort();
            },
            Qt::BlockingQueuedConnection);
    }
    ~FeedTestServer() {
        QMetaObject::invokeMethod(mServer, [this] { delete mServer; }, Qt::BlockingQueuedConnection);
        mThread.quit();
        mThread.wait();
    }
    FeedTestServer(const FeedTestServer &) = delete;
    FeedTestServer &operator=(const FeedTestServer &) = delete;

    void Set(const QString &path, const Response &response) {
        std::lock_guard lock(mMutex);
        mResponses.insert(path, response);
    }
    QString URL(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(mPort).arg(path); }
    // Requests received for the path.
    int Hits(const QString &path) const {
        std::lock_guard lock(mMutex);
        return mHits.value(path);
    }

private:
    void Accept() {
        while (QTcpSocket *socket = mServer->nextPendingConnection()) {
            socket->setParent(mServer);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void Read(QTcpSocket *socket) {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (socket->property("answered").toBool() || !request.contains("\r\n\r\n")) return;
        socket->setProperty("answered", true);
        const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
        const QString path = words.size() >= 2 ? QString::fromLatin1(words[1]) : QString();
        Response response;
        {
            std::lock_guard lock(mMutex);
            ++mHits[path];
            response = mResponses.value(path, Response{404, "not here", 0, false, true});
        }
        if (response.hang) return;
        const auto answer = [socket, response] {
            QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) +
                              (response.status < 400 ? " OK\r\n" : " Not Found\r\n") +
                              "Content-Type: application/atom+xml; charset=UTF-8\r\n";
            if (response.declareLength) head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
            head += "Connection: close\r\n\r\n";
            socket->write(head + response.body);
            socket->disconnectFromHost();
        };
        if (response.delayMilliseconds > 0) QTimer::singleShot(response.delayMilliseconds, socket, answer);
        else answer();
    }

    QThread mThread;
    QTcpServer *mServer = nullptr;
    quint16 mPort = 0;
    mutable std::mutex mMutex;
    QHash<QString, Response> mResponses;
    QHash<QString, int> mHits;
};

// An Atom document with the entries given as (title XML, content XML) pairs.
inline QByteArray AtomDocument(const QList<QPair<QByteArray, QByteArray>> &entries) {
    QByteArray xml = "<?xml version='1.0' encoding='UTF-8'?>\n"
                     "<feed xmlns='http://www.w3.org/2005/Atom'>\n  <title type='text'>Lumora designs</title>\n";
    for (const auto &[title, content] : entries)
        xml += "  <entry>\n    <title type='text'>" + title + "</title>\n    <content type='html'>" + content +
               "</content>\n  </entry>\n";
    return xml + "</feed>\n";
}

// Serves the main queue (as the application's event loop does) until the condition holds;
// false when it did not within the time.
inline bool WaitUntil(const std::function<bool()> &done, int milliseconds = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        dispatch_main_queue_drain();
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return true;
}

}  // namespace feed_test
