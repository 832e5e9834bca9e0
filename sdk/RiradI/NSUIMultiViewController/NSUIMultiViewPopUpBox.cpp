#include <NSUIMultiViewController/NSUIMultiViewPopUpBox.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QSignalBlocker>

#include <algorithm>

NS_REGISTER_CLASS(NSUIMultiViewPopUpBox);

namespace {

constexpr char kFile[] = "/Code/sdk/RiradI/NSUIMultiViewController/NSUIMultiViewBox";

}  // namespace

NSUIMultiViewPopUpBox::NSUIMultiViewPopUpBox(QWidget *parent) : NSUIMultiViewBox(parent) {}

NSUIMultiViewPopUpBox::~NSUIMultiViewPopUpBox() = default;

void NSUIMultiViewPopUpBox::setPopupButton(QComboBox *popup) {
    if (mPopupButton.data() == popup) return;
    disconnect(mActivated);
    mPopupButton = popup;
    if (popup != nullptr)
        mActivated = connect(popup, &QComboBox::activated, this,
                             [this](int index) { selectViewByItemTitle(mPopupButton->itemText(index)); });
}

void NSUIMultiViewPopUpBox::awakeFromNib() {
    NSUIMultiViewBox::awakeFromNib();
    if (mPopupButton.isNull())
        _CoreMachDebugVerifyBody("-[NSUIMultiViewPopUpBox awakeFromNib]", kFile, 240, " code : _popupButton");
}

QString NSUIMultiViewPopUpBox::controllerSelection() const {
    if (mPopupButton.isNull() || mPopupButton->currentIndex() < 0) {
        _CoreMachDebugVerifyBody("-[NSUIMultiViewPopUpBox controllerSelection]", kFile, 245,
                                 " code : [[_popupButton selectedItem] title]");
        return QString();
    }
    return mPopupButton->currentText();
}

bool NSUIMultiViewPopUpBox::setControllerSelection(const QString &title) {
    static const char kFunction[] = "-[NSUIMultiViewPopUpBox setControllerSelection:]";
    if (title.isNull()) {
        _CoreMachDebugVerifyBody(kFunction, kFile, 251, " code : multiViewTitle");
        return false;
    }
    if (!mPopupButton.isNull()) mPopupButton->setCurrentIndex(mPopupButton->findText(title, Qt::MatchExactly));
    const QString selection = controllerSelection();
    if (selection.isNull()) {
        _CoreMachDebugVerifyBody(kFunction, kFile, 257, " code : selection");
        return false;
    }
    return selection == title;
}

void NSUIMultiViewPopUpBox::refreshControllerList() {
    if (mPopupButton.isNull()) {
        _CoreMachDebugVerifyBody("-[NSUIMultiViewPopUpBox refreshControllerList]", kFile, 270, " code : dynamicMenu");
        return;
    }
    QStringList titles = this->titles();
    std::stable_sort(titles.begin(), titles.end(),
                     [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    const QSignalBlocker blocker(mPopupButton.data());
    mPopupButton->clear();
    for (const QString &title : titles) mPopupButton->addItem(title);
    // The entry of the page shown stays selected; with no page shown none is.
    const QString shown = selectedView() == nullptr ? QString() : viewsByTitle().key(selectedView());
    mPopupButton->setCurrentIndex(shown.isNull() ? -1 : mPopupButton->findText(shown, Qt::MatchExactly));
}

bool import_NSUIMultiViewPopUpBox() { return import_NSUIMultiViewBox(); }
