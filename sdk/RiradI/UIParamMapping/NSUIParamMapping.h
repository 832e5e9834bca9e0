// Parameter mapping: named settings ("video.input.tint.amount") tied to the controls that
// show them, so that a settings dictionary {name: string} can be read out of the controls and
// pushed back into them, pass by pass.
//
// A table is a constant array of ParamMappingRow ended by a row whose name is null. A row
// names the control's getter and setter selectors and, where the control's value is not a
// string, the type word of a value transformer ("BOOL", "NSNumber", "float"). A
// ParamMapping made from the table resolves the transformers once and keeps the control of
// each row, bound at run time (SetParamControl); a control that goes away unbinds itself.
//
// Selectors are sent by name: the control's own method or property (performSelector), else
// the parameter-mapping vocabulary that this file gives to the control families (below).
#pragma once

#include "NSUIParamTransformer.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <cstdint>
#include <vector>

// Access kinds of a row.
enum : int32_t {
    kParamMappingReadOnly = 1,   // never set from a dictionary
    kParamMappingWriteOnly = 2,  // never read into a dictionary
    kParamMappingReadWrite = 3,
};

// One row of a constant table.
struct ParamMappingRow {
    int32_t kind;             // 1 read-only, 2 write-only, 3 read and write
    int32_t pass;             // apply pass, 0 to 4
    const char *name;         // dotted lower-case words; null ends the table
    const char *getter;       // selector answering the value
    const char *setter;       // selector taking the value
    const char *transformer;  // type word of the transformer, or null
};

class ParamMapping {
public:
    // A row as the mapping sees it, with its control. The empty row (no name) stands for
    // "no such parameter".
    struct Param {
        int32_t kind = 0;
        int32_t pass = 0;
        QString name;
        QObject *control = nullptr;
        QByteArray getter;
        QByteArray setter;
        const NSUIParamTransformer *transformer = nullptr;
    };

    // Counts the rows up to the first row without a name; a null table has none.
    explicit ParamMapping(const ParamMappingRow *table);

    std::size_t Count() const { return mRows.size(); }

    // The first row whose name equals the given one without regard to case; the empty row
    // for a null name or no match.
    Param FindParam(const QString &name) const;
    // Binds the control to the row found; ignored when either is null or nothing matches.
    void SetParamControl(const QString &name, QObject *control);
    QObject *GetParamControl(const QString &name) const;
    // Nil for a write-only row and a row without name, control or getter; else the getter's
    // answer.
    QVariant GetParamValue(const Param &param) const;
    QVariant GetParamValueByName(const QString &name) const;

    // For pass 0 to 4, every key of the dictionary whose row has a control, is not
    // read-only, belongs to the pass and has a setter: the value (through the row's
    // transformer) goes to the setter. Keys match rows without regard to case; keys without
    // a row are ignored. A setter that raises is logged and the others go on.
    void SetParamsFromDictionary(const QVariantMap &dictionary) const;
    // Every row that can be read (not write-only, bound, with a getter) and answers a value:
    // the value, through the row's transformer, under the row's name.
    void AddParamsToDictionary(QVariantMap &dictionary) const;
    // The same for the rows whose name begins with the prefix (without regard to case).
    // Nothing for a null dictionary or prefix.
    void AddParamsWithPrefixToDictionary(QVariantMap *dictionary, const QString &prefix) const;

private:
    struct Row {
        const ParamMappingRow *row;
        QString name;
        const NSUIParamTransformer *transformer;
        QPointer<QObject> control;
    };
    Param ParamOf(const Row &row) const;
    std::size_t FindRowIndex(const QString &name) const;  // mRows.size() when none
    const Row *FindRow(const QString &name) const;
    void AddParam(const Param &param, QVariantMap &dictionary, const char *format) const;

    std::vector<Row> mRows;
};

// The parameter-mapping vocabulary of the control families, and the colour lock.
//
//   any control (NSControl)  intParam / setIntParam:, boolParam / setBoolParam:,
//                            floatParam / setFloatParam:, doubleParam / setDoubleParam:,
//                            writeOnlyParam / setReadOnlyParam:. The control's value is its
//                            "intValue", "floatValue" or "doubleValue" property, else its
//                            "value" property (sliders, spin boxes).
//   QComboBox (pop-up)       intParam / setIntParam: the selected index; setting fires the
//                            control's action.
//   NSSegmentedControl       intParam / setIntParam: its "selectedSegment" property;
//                            setting fires the control's action.
//   NSColorWell              color3DParam / setColor3DParam:, color4DParam / setColor4DParam:
//                            as "rgb(%1.1f,%1.1f,%1.1f)" and "rgba(%1.1f,%1.1f,%1.1f,%1.1f)".
//   NSButton                 buttonStateParam / setButtonStateParam: the state as "%d";
//                            setting takes the text's integer value, then sends the action of
//                            the button's cell to its target with the button, on the main
//                            thread, waiting until it is done.
//   colourizer               colorSchemeParam / setColorSchemeParam: the number of the colour
//   (UFColorWheelController) wheel's "colorScheme" (its hue combination); setting is skipped
//                            while colours are locked.
//
// A control's action: its "target" and "action" properties when it has them (the action is
// sent to the target with the control), else the user-activation signal of a QComboBox
// (activated).
namespace NSParamMapping {

// While locked, applying settings leaves colour wells' colours and colour schemes alone (only the alpha of a
// four-component colour is set). False at start.
bool colorParamsLocked();
void setColorParamsLocked(bool locked);

// Sends a getter / setter selector to a control: its own method or property first, else the
// vocabulary above. The getter answers nil and the setter false when neither answers.
QVariant sendGetter(QObject *control, const QByteArray &selector);
bool sendSetter(QObject *control, const QByteArray &selector, const QVariant &value);
bool respondsToParamSelector(QObject *control, const QByteArray &selector);

// Sends the control's action with the object (see above).
void paramTargetActionWithObject(QObject *control, QObject *object);

}  // namespace NSParamMapping

bool import_NSUIParamMapping();
