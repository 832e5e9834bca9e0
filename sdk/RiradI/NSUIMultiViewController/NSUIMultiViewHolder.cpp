#include <NSUIMultiViewController/NSUIMultiViewHolder.h>

#include <NSUIMultiViewController/NSUIMultiViewBox.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMultiViewHolder);

NSUIMultiViewHolder::NSUIMultiViewHolder(QWidget *parent) : NSUIViewHolder(parent) {}

NSUIMultiViewHolder::~NSUIMultiViewHolder() = default;

NSUIMultiViewBox *NSUIMultiViewHolder::multiViewBox() const {
    return qobject_cast<NSUIMultiViewBox *>(mMultiViewBox.data());
}

void NSUIMultiViewHolder::setMultiViewBox(NSUIMultiViewBox *box) { mMultiViewBox = box; }

void NSUIMultiViewHolder::awakeFromNib() {
    if (NSUIMultiViewBox *box = multiViewBox()) {
        box->addSenderToViewList(this);
        return;
    }
    _CoreMachDebugVerifyBody("-[NSUIMultiViewHolder awakeFromNib]",
                             "/Code/sdk/RiradI/NSUIMultiViewController/NSUIMultiViewBox", 306, " code : _multiViewBox");
}

bool import_NSUIMultiViewHolder() { return import_NSUIViewHolder(); }
