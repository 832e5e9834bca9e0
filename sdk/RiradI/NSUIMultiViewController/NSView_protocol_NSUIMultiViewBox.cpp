#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

#include <QMetaProperty>
#include <QWidget>

#include <cstdint>

namespace protocol_NSUIMultiViewBox {

QString plainViewTitle(const QObject *view) {
    if (view == nullptr) return QString();
    if (const auto *widget = qobject_cast<const QWidget *>(view); widget != nullptr && !widget->toolTip().isEmpty())
        return widget->toolTip();
    return QStringLiteral("view_id:%1\n")
        .arg(static_cast<qulonglong>(reinterpret_cast<std::uintptr_t>(view)), 8, 16, QLatin1Char('0'));
}

QString multiViewTitle(const QObject *view) {
    if (view == nullptr) return QString();
    if (const auto *client = dynamic_cast<const NSUIMultiViewClientProtocol *>(view)) return client->multiViewTitle();
    const QMetaObject *meta = view->metaObject();
    const int index = meta->indexOfProperty("multiViewTitle");
    if (index >= 0) {
        const QMetaProperty property = meta->property(index);
        if (property.isReadable() && property.metaType() == QMetaType::fromType<QString>())
            return property.read(view).toString();
    }
    return plainViewTitle(view);
}

}  // namespace protocol_NSUIMultiViewBox

bool import_NSView_protocol_NSUIMultiViewBox() { return true; }
