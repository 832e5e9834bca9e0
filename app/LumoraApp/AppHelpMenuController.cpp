#include "AppHelpMenuController.h"

#include <Foundation/NSObjCRuntime.h>

#include <QDesktopServices>

NS_REGISTER_CLASS(AppHelpMenuController);

AppHelpMenuController::AppHelpMenuController(QObject *parent) : NSObject(parent) {}

QUrl AppHelpMenuController::appWebPageURL(const QString &pageID) {
    if (pageID.isEmpty()) return QUrl();
    for (QChar c : pageID)
        if (c.isSpace() || c == QLatin1Char('#') || c == QLatin1Char('&') || c == QLatin1Char('=') ||
            c.unicode() < 0x21 || c.unicode() > 0x7E)
            return QUrl();
    const QString address = QStringLiteral("%1?page=%2&version=%3&bundle=%4")
                                .arg(QLatin1String(kRedirectAddress), pageID, QLatin1String(kVersion),
                                     QLatin1String(kBundle));
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

bool AppHelpMenuController::launchAppWebPageByID(const QString &pageID) {
    const QUrl url = appWebPageURL(pageID);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void AppHelpMenuController::menuHelpApplicationHelp(QObject *) { launchAppWebPageByID(QStringLiteral("help")); }
void AppHelpMenuController::menuHelpCheckForUpdates(QObject *) { launchAppWebPageByID(QStringLiteral("updates")); }
void AppHelpMenuController::menuHelpTechSupport(QObject *) { launchAppWebPageByID(QStringLiteral("support")); }
void AppHelpMenuController::menuHelpBlog(QObject *) { launchAppWebPageByID(QStringLiteral("blog")); }
void AppHelpMenuController::menuHelpVisitDownloadsPage(QObject *) {
    QDesktopServices::openUrl(QUrl(QLatin1String(kDownloadsPageAddress)));
}

bool import_AppHelpMenuController() { return true; }
