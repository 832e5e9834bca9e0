#include <NSUIMultiViewController/NSUIMultiViewHolderTitled.h>

#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

NS_REGISTER_CLASS(NSUIMultiViewHolderTitled);

namespace {

constexpr char kFile[] = "/Code/sdk/RiradI/NSUIMultiViewController/NSUIMultiViewBox";

// The control's answer to a text selector: its own property or method of that name, else the
// Qt widget that stands for the AppKit control (a field's or label's text is its string value, a
// button's or group box's text its title).
std::optional<QString> TextAnswer(QObject *control, const char *selector) {
    if (auto value = NSKeyValueCoding::accessorValueForKey(control, QString::fromLatin1(selector));
        value && value->canConvert<QString>())
        return value->toString();
    const QByteArray name(selector);
    if (name == "stringValue") {
        if (auto *field = qobject_cast<QLineEdit *>(control)) return field->text();
        if (auto *label = qobject_cast<QLabel *>(control)) return label->text();
    } else if (name == "title") {
        if (auto *button = qobject_cast<QAbstractButton *>(control)) return button->text();
        if (auto *group = qobject_cast<QGroupBox *>(control)) return group->title();
    } else if (name == "toolTip") {
        if (auto *widget = qobject_cast<QWidget *>(control)) return widget->toolTip();
    }
    return std::nullopt;
}

}  // namespace

NSUIMultiViewHolderTitled::NSUIMultiViewHolderTitled(QWidget *parent) : NSUIMultiViewHolder(parent) {}

NSUIMultiViewHolderTitled::~NSUIMultiViewHolderTitled() = default;

void NSUIMultiViewHolderTitled::awakeFromNib() {
    if (mTitleValue.isNull())
        _CoreMachDebugVerifyBody("-[NSUIMultiViewHolderTitled awakeFromNib]", kFile, 318, " code : _multiViewTitleValue");
}

QString NSUIMultiViewHolderTitled::multiViewTitle() const {
    QObject *control = mTitleValue.data();
    if (control == nullptr) {
        _CoreMachDebugVerifyBody("-[NSUIMultiViewHolderTitled multiViewTitle]", kFile, 324,
                                 " code : _multiViewTitleValue");
        return protocol_NSUIMultiViewBox::plainViewTitle(this);
    }
    for (const char *selector : {"stringValue", "title", "toolTip"})
        if (std::optional<QString> text = TextAnswer(control, selector)) return *text;
    return QStringLiteral("multiViewTitle");
}

bool import_NSUIMultiViewHolderTitled() { return import_NSUIMultiViewHolder(); }
