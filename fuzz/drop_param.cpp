// What another program drops on a control: the bytes as a URI list or as text, taken as a drop
// parameter. A drop is taken as a file path or an address that reads back as a valid URL, or
// changes nothing. The same text is read as a number the way text fields read it.
#include "FuzzSupport.h"

#include <AppKit/NSTextField.h>
#include <UICocoaControls/NSControl_NormalValue.h>
#include <UICocoaControls/category_NSUIDropViewParam.h>

#include <QMimeData>
#include <QObject>
#include <QUrl>

#include <cmath>

namespace {

class Holder : public QObject, public NSUIDropViewContents {
public:
    int contentsType() const override { return mType; }
    QVariant contents() const override { return mContents; }
    void setContents(const QVariant &contents, int type) override {
        mContents = contents;
        mType = type;
    }
    void clearContents() override {
        mContents = QVariant();
        mType = kNSUIDropViewContentsEmpty;
    }
    QVariant mContents;
    int mType = kNSUIDropViewContentsEmpty;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const uint8_t kind = input.byte();
    const std::string_view rest = input.rest();
    const QByteArray bytes(rest.data(), qsizetype(rest.size()));

    QMimeData mime;
    if (kind & 1)
        mime.setData(QStringLiteral("text/uri-list"), bytes);
    else
        mime.setText(QString::fromUtf8(bytes));

    Holder holder;
    const bool taken = category_NSUIDropViewParam::takeDroppedData(&holder, &mime);
    LUMORA_CHECK(taken == category_NSUIDropViewParam::canTakeDroppedData(&mime));
    if (taken) {
        LUMORA_CHECK(holder.mType == kNSUIDropViewContentsPath || holder.mType == kNSUIDropViewContentsURL);
        if (holder.mType == kNSUIDropViewContentsURL)
            LUMORA_CHECK(QUrl(category_NSUIDropViewParam::URLParamValue(&holder), QUrl::StrictMode).isValid());
    } else {
        LUMORA_CHECK(holder.mType == kNSUIDropViewContentsEmpty);
    }

    const QString text = QString::fromUtf8(bytes);
    const double number = NSTextField::leadingDoubleValue(text);
    (void)NSTextField::leadingIntValue(text);
    const double normal = NSControl_ClampNormalValue(number);
    LUMORA_CHECK(normal >= 0.0 && normal <= 1.0);
    return 0;
}
