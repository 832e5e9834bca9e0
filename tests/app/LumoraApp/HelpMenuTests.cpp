// The help menu's actions: the address each opens in the desktop's browser (caught here by a URL
// handler), the redirect address with its values as they are, and page identifiers that make no
// valid address opening nothing.
#include <LumoraApp/AppHelpMenuController.h>

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include <functional>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class Browser : public QObject {
    Q_OBJECT
public:
    Browser() {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    }
    ~Browser() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
    Q_INVOKABLE void openUrl(const QUrl &url) { opened.append(url.toString(QUrl::FullyEncoded)); }
    QStringList opened;
};

class HelpMenu : public ::testing::Test, public riradi_test::WithApplication {
protected:
    AppHelpMenuController controller;
    Browser browser;
};

TEST_F(HelpMenu, EachActionOpensItsPage) {
    const QString redirect = QStringLiteral("http://www.tarvex.com/redirect.php?page=%1&version=2.0.4&bundle=Lum@ra");
    const struct {
        const char *action;
        std::function<void()> run;
        QString address;
    } cases[] = {
        {"help", [&] { controller.menuHelpApplicationHelp(nullptr); }, redirect.arg(QLatin1String("help"))},
        {"updates", [&] { controller.menuHelpCheckForUpdates(nullptr); }, redirect.arg(QLatin1String("updates"))},
        {"support", [&] { controller.menuHelpTechSupport(nullptr); }, redirect.arg(QLatin1String("support"))},
        {"blog", [&] { controller.menuHelpBlog(nullptr); }, redirect.arg(QLatin1String("blog"))},
        {"downloads", [&] { controller.menuHelpVisitDownloadsPage(nullptr); },
         QString::fromLatin1(AppHelpMenuController::kDownloadsPageAddress)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.action);
        browser.opened.clear();
        c.run();
        ASSERT_EQ(browser.opened.size(), 1);
        EXPECT_EQ(browser.opened.front(), c.address);
    }
}

TEST_F(HelpMenu, APageThatMakesNoAddressOpensNothing) {
    for (const char *page : {"", "two words", "a#b", "a&version=9", "x=y", "caf\xc3\xa9", "tab\t"}) {
        SCOPED_TRACE(page);
        browser.opened.clear();
        EXPECT_FALSE(controller.launchAppWebPageByID(QString::fromUtf8(page)));
        EXPECT_TRUE(browser.opened.isEmpty());
    }
    EXPECT_TRUE(controller.launchAppWebPageByID(QStringLiteral("faq-2")));
    EXPECT_EQ(browser.opened.value(0), QStringLiteral("http://www.tarvex.com/redirect.php?page=faq-2&version=2.0.4&bundle=Lum@ra"));
}

}  // namespace

#include "HelpMenuTests.moc"
