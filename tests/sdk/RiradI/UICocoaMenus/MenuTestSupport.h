// A menu of QActions whose target records every action it gets, the failed checks reported
// to the debug log, and the user defaults of the test HOME.
#pragma once

#include <UICocoaMenus/NSMenuItemQt.h>
#include <UICocoaMenus/NSUISelectorGroup.h>

#include <Foundation/NSUserDefaults.h>
#include <dispatch/dispatch.h>

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace menus_test {

// The owner of the menus: its action methods record "<action> <item title>" and, when it has
// a group, let the item select itself in it (the usual body of a group's action method).
class Owner : public QObject {
    Q_OBJECT
public:
    const tagNSUISelectorGroup *group = nullptr;
    std::vector<std::string> performed;

    Q_INVOKABLE void mirrorAction(QObject *sender) { Record("mirrorAction", sender); }
    Q_INVOKABLE void gridAction(QObject *sender) { Record("gridAction", sender); }
    Q_INVOKABLE void levelsAction(QObject *sender) { Record("levelsAction", sender); }
    Q_INVOKABLE void normalAction(QObject *sender) { Record("normalAction", sender); }
    Q_INVOKABLE void sepiaAction(QObject *sender) { Record("sepiaAction", sender); }
    Q_INVOKABLE void customAction(QObject *sender) { Record("customAction", sender); }

private:
    void Record(const char *action, QObject *sender) {
        auto *item = qobject_cast<QAction *>(sender);
        performed.push_back(std::string(action) + " " + (item ? item->text().toStdString() : "?"));
        if (group != nullptr) NSUISelectorGroup::selectSelfFromSelectorGroup(sender, group);
    }
};

// Toggle group: three items, each on or off by itself.
inline const tagNSUISelector kViewSelectors[] = {
    {"mirrorAction:", "mirrorAction"}, {"gridAction:", "gridAction"}, {"levelsAction:", "levelsAction"}, {nullptr, nullptr}};
inline const tagNSUISelectorGroup kViewGroup = {false, "ViewGroup", kViewSelectors};

// Mutex group: "Normal", "Sepia", and two custom looks sharing one action.
inline const tagNSUISelector kLookSelectors[] = {
    {"normalAction:", "normalAction"}, {"sepiaAction:", "sepiaAction"}, {"customAction:", "customAction"}, {nullptr, nullptr}};
inline const tagNSUISelectorGroup kLookGroup = {true, "LookGroup", kLookSelectors};

struct MenuFixture : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
    QMenu menu;
    Owner owner;

    void SetUp() override {
        corex_test::DebugLogFileTest::SetUp();
        NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
        for (const char *key : {"mirrorAction:", "gridAction:", "levelsAction:", "LookGroup"})
            defaults.removeObject(QString::fromLatin1(key));
    }

    QAction *AddItem(const char *title, const char *action, int state = NSOffState) {
        QAction *item = menu.addAction(QString::fromUtf8(title));
        NSMenuItemQt::setTargetAction(item, &owner, action);
        NSMenuItemQt::setState(item, state);
        return item;
    }

    // The item states in menu order, as "1 0 -1".
    std::string States() const {
        std::string text;
        for (QAction *item : menu.actions())
            text += (text.empty() ? "" : " ") + std::to_string(NSMenuItemQt::state(item));
        return text;
    }

    // Runs the actions queued for the main thread and answers what the owner performed.
    std::vector<std::string> Performed() {
        dispatch_main_queue_drain();
        std::vector<std::string> result = std::move(owner.performed);
        owner.performed.clear();
        return result;
    }

    // The texts of the failed checks reported since the last call.
    static std::vector<std::string> Reports() {
        std::vector<std::string> reports;
        const std::string log = LogText();
        const std::string head = "VERIFY FAILED: ";
        for (std::size_t at = log.find(head); at != std::string::npos; at = log.find(head, at + 1)) {
            const std::size_t begin = at + head.size();
            reports.push_back(log.substr(begin, log.find(" in ", begin) - begin));
        }
        ClearLog();
        return reports;
    }
};

using Strings = std::vector<std::string>;

}  // namespace menus_test
