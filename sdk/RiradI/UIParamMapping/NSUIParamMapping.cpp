#include "NSUIParamMapping.h"

#include "NSUIDesignCodes.h"

#include <CocoaFoundation/NSStringNumberValues.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>

#include <AppKit/NSButton.h>

#include <QComboBox>
#include <QHash>
#include <QMetaProperty>

#include <atomic>
#include <charconv>

// ---- The table ------------------------------------------------------------------------------

ParamMapping::ParamMapping(const ParamMappingRow *table) {
    if (table == nullptr) return;
    for (const ParamMappingRow *row = table; row->name != nullptr; ++row)
        mRows.push_back({row, QString::fromUtf8(row->name),
                         NSUIParamTransformer::transformerForTypeWord(row->transformer), nullptr});
}

std::size_t ParamMapping::FindRowIndex(const QString &name) const {
    if (name.isNull()) return mRows.size();
    for (std::size_t index = 0; index < mRows.size(); ++index)
        if (mRows[index].name.compare(name, Qt::CaseInsensitive) == 0) return index;
    return mRows.size();
}

const ParamMapping::Row *ParamMapping::FindRow(const QString &name) const {
    const std::size_t index = FindRowIndex(name);
    return index < mRows.size() ? &mRows[index] : nullptr;
}

ParamMapping::Param ParamMapping::ParamOf(const Row &row) const {
    Param param;
    param.kind = row.row->kind;
    param.pass = row.row->pass;
    param.name = row.name;
    param.control = row.control.data();
    param.getter = row.row->getter ? QByteArray(row.row->getter) : QByteArray();
    param.setter = row.row->setter ? QByteArray(row.row->setter) : QByteArray();
    param.transformer = row.transformer;
    return param;
}

ParamMapping::Param ParamMapping::FindParam(const QString &name) const {
    const Row *row = FindRow(name);
    return row ? ParamOf(*row) : Param();
}

void ParamMapping::SetParamControl(const QString &name, QObject *control) {
    if (control == nullptr) return;
    const std::size_t index = FindRowIndex(name);
    if (index < mRows.size()) mRows[index].control = control;
}

QObject *ParamMapping::GetParamControl(const QString &name) const {
    const Row *row = FindRow(name);
    return row ? row->control.data() : nullptr;
}

QVariant ParamMapping::GetParamValue(const Param &param) const {
    if (param.kind == kParamMappingWriteOnly || param.name.isEmpty() || param.control == nullptr ||
        param.getter.isEmpty())
        return QVariant();
    return NSParamMapping::sendGetter(param.control, param.getter);
}

QVariant ParamMapping::GetParamValueByName(const QString &name) const { return GetParamValue(FindParam(name)); }

void ParamMapping::SetParamsFromDictionary(const QVariantMap &dictionary) const {
    if (dictionary.isEmpty()) return;
    for (int32_t pass = 0; pass <= 4; ++pass) {
        for (auto entry = dictionary.constBegin(); entry != dictionary.constEnd(); ++entry) {
            const Row *row = FindRow(entry.key());
            if (row == nullptr || row->control.isNull() || row->row->kind == kParamMappingReadOnly ||
                row->row->pass != pass || row->row->setter == nullptr || *row->row->setter == 0)
                continue;
            QVariant value = entry.value();
            try {
                if (row->transformer) value = row->transformer->objectValueFromParamValue(value);
                NSParamMapping::sendSetter(row->control.data(), row->row->setter, value);
            } catch (const NSException &exception) {
                NSLog(QStringLiteral("ParamMapping::SetParamsFromDictionary: paramName:%1 exception:%2")
                          .arg(row->name, exception.description()));
            }
        }
    }
}

void ParamMapping::AddParam(const Param &param, QVariantMap &dictionary, const char *format) const {
    // Rows that cannot be read give nothing: no value, no transformed nil.
    if (param.kind == kParamMappingWriteOnly || param.name.isEmpty() || param.control == nullptr ||
        param.getter.isEmpty())
        return;
    QVariant value;
    QVariant transformed;
    try {
        value = GetParamValue(param);
        transformed = param.transformer ? param.transformer->paramValueFromObjectValue(value) : value;
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("%1 paramName:%2 exception:%3")
                  .arg(QLatin1String(format), param.name, exception.description()));
        return;
    }
    const auto describe = [](const QVariant &v) {
        return NSKeyValueCoding::isNil(v) ? QStringLiteral("(null)") : NSUIDesignCodes::valueString(v);
    };
    NSLog(QStringLiteral("%1 paramName:%2 controlValue:%3 transformedControlValue:%4")
              .arg(QLatin1String(format), param.name, describe(value), describe(transformed)));
    if (!NSKeyValueCoding::isNil(transformed)) dictionary.insert(param.name, transformed);
}

void ParamMapping::AddParamsToDictionary(QVariantMap &dictionary) const {
    for (const Row &row : mRows) AddParam(ParamOf(row), dictionary, "ParamMapping::AddParamsToDictionary:");
}

void ParamMapping::AddParamsWithPrefixToDictionary(QVariantMap *dictionary, const QString &prefix) const {
    if (dictionary == nullptr || prefix.isNull()) return;
    for (const Row &row : mRows) {
        if (!row.name.startsWith(prefix, Qt::CaseInsensitive)) continue;
        AddParam(ParamOf(row), *dictionary, "ParamMapping::AddParamsWithPrefixToDictionary:");
    }
}

// ---- The vocabulary of the control families -------------------------------------------------

namespace NSParamMapping {

namespace {

constinit std::atomic<bool> sColorParamsLocked{false};

using Getter = QVariant (*)(QObject *control);
using Setter = void (*)(QObject *control, const QVariant &value);

struct Method {
    Getter getter = nullptr;
    Setter setter = nullptr;
};

// A readable / writable property of the class (never a dynamic property).
QMetaProperty FindProperty(const QObject *object, std::initializer_list<const char *> names) {
    const QMetaObject *meta = object->metaObject();
    for (const char *name : names) {
        const int index = meta->indexOfProperty(name);
        if (index >= 0) return meta->property(index);
    }
    return QMetaProperty();
}

QVariant ReadValue(QObject *control, std::initializer_list<const char *> names) {
    const QMetaProperty property = FindProperty(control, names);
    return property.isValid() && property.isReadable() ? property.read(control) : QVariant();
}

void WriteValue(QObject *control, std::initializer_list<const char *> names, const QVariant &value) {
    const QMetaProperty property = FindProperty(control, names);
    if (property.isValid() && property.isWritable()) property.write(control, value);
}

int IntValue(QObject *control) {
    return NSStringNumberValues::variantIntValue(ReadValue(control, {"intValue", "value"}));
}
double DoubleValue(QObject *control, bool preferFloat) {
    const QVariant value = preferFloat ? ReadValue(control, {"floatValue", "doubleValue", "value"})
                                       : ReadValue(control, {"doubleValue", "floatValue", "value"});
    return NSStringNumberValues::variantDoubleValue(value);
}

bool IsTrueText(const QVariant &value) {
    return !NSKeyValueCoding::isNil(value) &&
           value.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// NSControl
QVariant ControlIntParam(QObject *c) { return IntValue(c); }
void ControlSetIntParam(QObject *c, const QVariant &v) {
    WriteValue(c, {"intValue", "value"}, NSStringNumberValues::variantIntValue(v));
}
QVariant ControlBoolParam(QObject *c) {
    return (IntValue(c) & 0xFF) != 0 ? QStringLiteral("true") : QStringLiteral("false");
}
void ControlSetBoolParam(QObject *c, const QVariant &v) { WriteValue(c, {"intValue", "value"}, IsTrueText(v) ? 1 : 0); }
QVariant ControlFloatParam(QObject *c) { return static_cast<float>(DoubleValue(c, true)); }
void ControlSetFloatParam(QObject *c, const QVariant &v) {
    WriteValue(c, {"floatValue", "doubleValue", "value"},
               static_cast<float>(NSStringNumberValues::variantDoubleValue(v)));
}
QVariant ControlDoubleParam(QObject *c) { return DoubleValue(c, false); }
void ControlSetDoubleParam(QObject *c, const QVariant &v) {
    WriteValue(c, {"doubleValue", "floatValue", "value"}, NSStringNumberValues::variantDoubleValue(v));
}
QVariant ControlWriteOnlyParam(QObject *) { return QStringLiteral(""); }
void ControlSetReadOnlyParam(QObject *, const QVariant &) {}

// NSPopUpButton (QComboBox)
QVariant PopUpIntParam(QObject *c) { return static_cast<QComboBox *>(c)->currentIndex(); }
void PopUpSetIntParam(QObject *c, const QVariant &v) {
    static_cast<QComboBox *>(c)->setCurrentIndex(NSStringNumberValues::variantIntValue(v));
    paramTargetActionWithObject(c, c);
}

// NSSegmentedControl
QVariant SegmentIntParam(QObject *c) {
    return NSStringNumberValues::variantIntValue(ReadValue(c, {"selectedSegment"}));
}
void SegmentSetIntParam(QObject *c, const QVariant &v) {
    WriteValue(c, {"selectedSegment"}, NSStringNumberValues::variantIntValue(v));
    paramTargetActionWithObject(c, c);
}

// NSColorWell
// Reads "<prefix>%f,%f,..." the way sscanf would, locale-independent: the fields read
// before the first mismatch. A number may carry a C float suffix ("1.0f", as in the default
// "rgba(0.0f,0.0f,0.0f,1.0f)"); sscanf stopped at it, so "rgba(1.0f,1.0f,1.0f,1.0f)" read red.
int ScanColorFields(const QByteArray &text, const char *prefix, float *fields, int count) {
    const char *p = text.constData();
    const char *end = p + text.size();
    for (const char *f = prefix; *f; ++f, ++p)
        if (p == end || *p != *f) return 0;
    int scanned = 0;
    for (; scanned < count; ++scanned) {
        if (scanned > 0) {
            if (p == end || *p != ',') break;
            ++p;
        }
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
        if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) break;
        double value = 0;
        const auto result = std::from_chars(p, end, value, std::chars_format::general);
        if (result.ec != std::errc()) break;
        p = result.ptr;
        if (p < end && (*p == 'f' || *p == 'F')) ++p;
        fields[scanned] = static_cast<float>(negative ? -value : value);
    }
    return scanned;
}

bool ColorText(const QVariant &value, QByteArray *utf8) {
    if (NSKeyValueCoding::isNil(value) || !value.canConvert<QString>()) return false;
    *utf8 = value.toString().toUtf8();
    return true;
}

NSColorWell *Well(QObject *c) { return qobject_cast<NSColorWell *>(c); }

QVariant WellColor3DParam(QObject *c) {
    const color_3D color = Well(c)->getColor3DOpaque();
    return QString::asprintf("rgb(%1.1f,%1.1f,%1.1f)", color.red, color.green, color.blue);
}
void WellSetColor3DParam(QObject *c, const QVariant &v) {
    float fields[3] = {0, 0, 0};
    QByteArray utf8_string;
    if (VERIFY_TEXT(ColorText(v, &utf8_string), " code : utf8_string"))
        ScanColorFields(utf8_string, "rgb(", fields, 3);
    if (colorParamsLocked()) return;
    Well(c)->setColor3DOpaque({fields[0], fields[1], fields[2]});
}
QVariant WellColor4DParam(QObject *c) {
    const color_4D color = Well(c)->getColor4D();
    return QString::asprintf("rgba(%1.1f,%1.1f,%1.1f,%1.1f)", color.red, color.green, color.blue, color.alpha);
}
void WellSetColor4DParam(QObject *c, const QVariant &v) {
    float fields[4] = {0, 0, 0, 1};
    QByteArray utf8_string;
    if (VERIFY_TEXT(ColorText(v, &utf8_string), " code : utf8_string"))
        ScanColorFields(utf8_string, "rgba(", fields, 4);
    if (colorParamsLocked())
        Well(c)->setColorAlpha(fields[3]);
    else
        Well(c)->setColor4D({fields[0], fields[1], fields[2], fields[3]});
}

// NSUIColorizer: the colour wheel's controller (UFColorWheelController), whose "colorScheme"
// is the hue combination.
QVariant ColorizerColorSchemeParam(QObject *c) {
    return NSStringNumberValues::variantIntValue(ReadValue(c, {"colorScheme"}));
}
void ColorizerSetColorSchemeParam(QObject *c, const QVariant &v) {
    if (colorParamsLocked()) return;
    WriteValue(c, {"colorScheme"}, NSStringNumberValues::variantIntValue(v));
}

// NSButton: the state as text; setting it fires the action of the button's cell.
QVariant ButtonStateParam(QObject *c) { return QString::asprintf("%d", static_cast<NSButton *>(c)->state()); }
void ButtonSetButtonStateParam(QObject *c, const QVariant &v) {
    auto *button = static_cast<NSButton *>(c);
    button->setState(NSStringNumberValues::variantIntValue(v));
    QObject *target = button->cell()->target();
    const QByteArray action = button->cell()->action();
    if (target != nullptr && !action.isEmpty())
        ::performSelectorOnMainThread(target, action, NSKeyValueCoding::variantFromObject(button), true);
}

using MethodTable = QHash<QByteArray, Method>;

// The vocabulary by class name, made on first use.
const QHash<QByteArray, MethodTable> &Vocabulary() {
    static const QHash<QByteArray, MethodTable> vocabulary = {
        {"QObject",
         {{"intParam", {ControlIntParam, nullptr}},
          {"setIntParam", {nullptr, ControlSetIntParam}},
          {"boolParam", {ControlBoolParam, nullptr}},
          {"setBoolParam", {nullptr, ControlSetBoolParam}},
          {"floatParam", {ControlFloatParam, nullptr}},
          {"setFloatParam", {nullptr, ControlSetFloatParam}},
          {"doubleParam", {ControlDoubleParam, nullptr}},
          {"setDoubleParam", {nullptr, ControlSetDoubleParam}},
          {"writeOnlyParam", {ControlWriteOnlyParam, nullptr}},
          {"setReadOnlyParam", {nullptr, ControlSetReadOnlyParam}}}},
        {"QComboBox", {{"intParam", {PopUpIntParam, nullptr}}, {"setIntParam", {nullptr, PopUpSetIntParam}}}},
        {"NSSegmentedControl",
         {{"intParam", {SegmentIntParam, nullptr}}, {"setIntParam", {nullptr, SegmentSetIntParam}}}},
        {"NSColorWell",
         {{"color3DParam", {WellColor3DParam, nullptr}},
          {"setColor3DParam", {nullptr, WellSetColor3DParam}},
          {"color4DParam", {WellColor4DParam, nullptr}},
          {"setColor4DParam", {nullptr, WellSetColor4DParam}}}},
        {"NSButton",
         {{"buttonStateParam", {ButtonStateParam, nullptr}},
          {"setButtonStateParam", {nullptr, ButtonSetButtonStateParam}}}},
        {"UFColorWheelController",
         {{"colorSchemeParam", {ColorizerColorSchemeParam, nullptr}},
          {"setColorSchemeParam", {nullptr, ColorizerSetColorSchemeParam}}}},
    };
    return vocabulary;
}

QByteArray MethodName(const QByteArray &selector) {
    const qsizetype colon = selector.indexOf(':');
    return colon < 0 ? selector : selector.left(colon);
}

// The vocabulary method of the nearest class of the control that has one.
Method FindMethod(const QObject *control, const QByteArray &name) {
    const auto &vocabulary = Vocabulary();
    for (const QMetaObject *meta = control->metaObject(); meta; meta = meta->superClass()) {
        const auto table = vocabulary.constFind(QByteArray(meta->className()));
        if (table == vocabulary.constEnd()) continue;
        const auto method = table->constFind(name);
        if (method != table->constEnd()) return *method;
    }
    return Method();
}

// The property a setter selector "setX" writes ("x"), when the control has it writable.
QMetaProperty SetterProperty(const QObject *control, const QByteArray &name) {
    if (name.size() < 4 || !name.startsWith("set")) return QMetaProperty();
    QByteArray property = name.mid(3);
    if (property[0] >= 'A' && property[0] <= 'Z') property[0] = static_cast<char>(property[0] - 'A' + 'a');
    const int index = control->metaObject()->indexOfProperty(property.constData());
    if (index < 0) return QMetaProperty();
    const QMetaProperty metaProperty = control->metaObject()->property(index);
    return metaProperty.isWritable() ? metaProperty : QMetaProperty();
}

}  // namespace

bool colorParamsLocked() { return sColorParamsLocked.load(); }

void setColorParamsLocked(bool locked) { sColorParamsLocked.store(locked); }

bool respondsToParamSelector(QObject *control, const QByteArray &selector) {
    if (control == nullptr) return false;
    const QByteArray name = MethodName(selector);
    if (::respondsToSelector(control, name) || SetterProperty(control, name).isValid()) return true;
    const Method method = FindMethod(control, name);
    return method.getter || method.setter;
}

QVariant sendGetter(QObject *control, const QByteArray &selector) {
    if (control == nullptr || selector.isEmpty()) return QVariant();
    const QByteArray name = MethodName(selector);
    if (::respondsToSelector(control, name)) return ::performSelector(control, name);
    const Method method = FindMethod(control, name);
    return method.getter ? method.getter(control) : QVariant();
}

bool sendSetter(QObject *control, const QByteArray &selector, const QVariant &value) {
    if (control == nullptr || selector.isEmpty()) return false;
    const QByteArray name = MethodName(selector);
    if (::respondsToSelector(control, name)) {
        ::performSelector(control, name, value);
        return true;
    }
    const QMetaProperty property = SetterProperty(control, name);
    if (property.isValid()) {
        NSKeyValueCoding::setValueForKey(control, value, QString::fromLatin1(property.name()));
        return true;
    }
    const Method method = FindMethod(control, name);
    if (method.setter == nullptr) return false;
    method.setter(control, value);
    return true;
}

void paramTargetActionWithObject(QObject *control, QObject *object) {
    if (control == nullptr) return;
    const QMetaProperty targetProperty = FindProperty(control, {"target"});
    const QMetaProperty actionProperty = FindProperty(control, {"action"});
    if (targetProperty.isValid() && actionProperty.isValid()) {
        QObject *target = NSKeyValueCoding::objectFromVariant(targetProperty.read(control));
        const QByteArray action = actionProperty.read(control).toByteArray();
        if (target != nullptr && !action.isEmpty())
            ::performSelector(target, action, NSKeyValueCoding::variantFromObject(object));
        return;
    }
    if (auto *popUp = qobject_cast<QComboBox *>(control)) emit popUp->activated(popUp->currentIndex());
}

}  // namespace NSParamMapping

bool import_NSUIParamMapping() {
    return import_NSUIParamTransformer() && import_NSUIDesignCodes() && import_NSColorWellWithAlpha() &&
           import_CoreMachDebugLog();
}
