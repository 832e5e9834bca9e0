#include <Foundation/NSException.h>

#include <QDateTime>

#include <unistd.h>

NSException::NSException(QString name, QString reason, QVariantMap userInfo)
    : mName(std::move(name)), mReason(std::move(reason)), mUserInfo(std::move(userInfo)),
      mWhat(description().toStdString()) {}

void NSException::raise(const QString &name, const QString &reason, const QVariantMap &userInfo) {
    throw NSException(name, reason, userInfo);
}

QString NSException::description() const { return mName + QStringLiteral(": ") + mReason; }

void NSLog(const QString &message) {
    static const QByteArray program = [] {
        char path[4096];
        const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
        if (length <= 0) return QByteArray("lumora");
        const QByteArray full(path, length);
        return full.mid(full.lastIndexOf('/') + 1);
    }();
    QByteArray line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    line += ' ' + program + '[' + QByteArray::number(::getpid()) + ':' + QByteArray::number(::gettid()) + "] ";
    line += message.toUtf8();
    if (!line.endsWith('\n')) line += '\n';
    // One write, so lines of several threads do not mix.
    const char *data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, size_t(left));
        if (written <= 0) break;
        data += written;
        left -= written;
    }
}
