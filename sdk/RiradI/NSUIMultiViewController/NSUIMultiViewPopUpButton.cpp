#include <NSUIMultiViewController/NSUIMultiViewPopUpButton.h>

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMultiViewPopUpButton);

NSUIMultiViewPopUpButton::NSUIMultiViewPopUpButton(QWidget *parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, [this] { selectionChangedAction(this); });
}

NSUIMultiViewPopUpButton::~NSUIMultiViewPopUpButton() = default;

QString NSUIMultiViewPopUpButton::selectedMultiViewTitle() const {
    return currentIndex() < 0 ? QString() : currentText();
}

void NSUIMultiViewPopUpButton::setSelectedMultiViewTitle(const QString &title) {
    setCurrentIndex(title.isNull() ? -1 : findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

bool NSUIMultiViewPopUpButton::isTitleMemberOfPopUpMenu(const QString &title) const {
    return findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

void NSUIMultiViewPopUpButton::refreshMultiViewTitlesWithSelection(const QString &) {
    auto *host = dynamic_cast<NSUIMultiViewHostProtocol *>(mDelegate.data());
    if (host == nullptr) return;
    const int selected = currentIndex();
    for (const QString &title : host->switchingMultiViewTitleList())
        if (!isTitleMemberOfPopUpMenu(title)) addItem(title);
    setCurrentIndex(selected);
}

void NSUIMultiViewPopUpButton::selectionChangedAction(QObject *) {
    if (auto *host = dynamic_cast<NSUIMultiViewHostProtocol *>(mDelegate.data()))
        host->setSelectedMultiViewTitle(selectedMultiViewTitle());
}

bool import_NSUIMultiViewPopUpButton() { return true; }
