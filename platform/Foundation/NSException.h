// NSException: the exception type that the interface code throws and catches (name, reason,
// user info), and NSLog, the one-line log of the interface code.
#pragma once

#include <QString>
#include <QVariantMap>

#include <exception>
#include <string>

// Exception names raised by this layer.
inline constexpr char NSGenericException[] = "NSGenericException";
inline constexpr char NSInvalidArgumentException[] = "NSInvalidArgumentException";
inline constexpr char NSInternalInconsistencyException[] = "NSInternalInconsistencyException";
inline constexpr char NSRangeException[] = "NSRangeException";
inline constexpr char NSUnknownKeyException[] = "NSUnknownKeyException";
inline constexpr char NSInvalidUnarchiveOperationException[] = "NSInvalidUnarchiveOperationException";
inline constexpr char NSInvalidArchiveOperationException[] = "NSInvalidArchiveOperationException";

class NSException : public std::exception {
public:
    NSException(QString name, QString reason, QVariantMap userInfo = {});

    // Throws an NSException.
    [[noreturn]] static void raise(const QString &name, const QString &reason, const QVariantMap &userInfo = {});

    const QString &name() const { return mName; }
    const QString &reason() const { return mReason; }
    const QVariantMap &userInfo() const { return mUserInfo; }

    // "name: reason" in UTF-8.
    const char *what() const noexcept override { return mWhat.c_str(); }
    // The same text, for logs.
    QString description() const;

private:
    QString mName;
    QString mReason;
    QVariantMap mUserInfo;
    std::string mWhat;
};

// Writes one line "<date time> <program>[<pid>:<thread>] <message>" to standard error.
void NSLog(const QString &message);
