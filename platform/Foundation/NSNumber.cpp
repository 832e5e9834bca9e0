#include <Foundation/NSNumber.h>

bool NSIsWholeNumberType(int typeId) {
    switch (typeId) {
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return true;
    default: return false;
    }
}

bool NSIsNumberValue(const QVariant &value) {
    const int typeId = value.metaType().id();
    return typeId == QMetaType::Bool || typeId == QMetaType::Float || typeId == QMetaType::Double ||
           NSIsWholeNumberType(typeId);
}
