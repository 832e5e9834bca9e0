// AppHelpMenuController: the actions of the help menu. Each opens a page of the product's web
// site in the desktop's browser (QDesktopServices). Every page but the downloads page goes
// through the redirect service:
//   <redirect host>/redirect.php?page=<page>&version=2.0.4&bundle=Lum@ra
// with the values inserted as they are. A page identifier that does not make a valid address
// (a space, a '#', '&' or '=' in it, or nothing at all) opens nothing.
//
// The application delegate builds the menu and calls these actions.
#pragma once

#include <Foundation/NSObject.h>

#include <QObject>
#include <QString>
#include <QUrl>

class AppHelpMenuController : public NSObject {
    Q_OBJECT
public:
    // The redirect service and the downloads page (configuration values).
    static constexpr char kRedirectAddress[] = "http://www.tarvex.com/redirect.php";
    static constexpr char kDownloadsPageAddress[] = "http://www.tarvex.com/downloads/";
    static constexpr char kVersion[] = "2.0.4";
    static constexpr char kBundle[] = "Lum@ra";

    Q_INVOKABLE explicit AppHelpMenuController(QObject *parent = nullptr);

    // The redirect address of the page; an invalid URL when none can be formed.
    static QUrl appWebPageURL(const QString &pageID);
    // Opens the redirect address of the page; false (nothing opened) when it cannot be formed
    // or the desktop cannot open it.
    Q_INVOKABLE bool launchAppWebPageByID(const QString &pageID);

    Q_INVOKABLE void menuHelpApplicationHelp(QObject *sender = nullptr);
    Q_INVOKABLE void menuHelpCheckForUpdates(QObject *sender = nullptr);
    Q_INVOKABLE void menuHelpTechSupport(QObject *sender = nullptr);
    Q_INVOKABLE void menuHelpBlog(QObject *sender = nullptr);
    Q_INVOKABLE void menuHelpVisitDownloadsPage(QObject *sender = nullptr);
};

bool import_AppHelpMenuController();
