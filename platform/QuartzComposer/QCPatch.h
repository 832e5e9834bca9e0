// QCPatch: one node of a composition while it plays. A patch class is registered under its
// class name with a factory that makes a patch from the node (its state dictionary); the
// patch declares its ports when it is made and runs once per frame at most.
//
// Processors compute their outputs from their inputs when something downstream needs them;
// consumers (isConsumer) draw into the renderer's destination, in ascending "layer".
//
//     class Doubler : public QCPatch {
//     public:
//         Doubler() { addInputPort("inputValue", QCPortType::Number, 0.0); addOutputPort("outputValue", QCPortType::Number); }
//         bool execute(QCPatchContext &c) override { c.setOutput("outputValue", 2 * c.input("inputValue").numberValue()); return true; }
//     };
//     QCRegisterPatchClass("Doubler", [](const QCCompositionNode &, std::string *) { return std::make_unique<Doubler>(); });
#pragma once

#include <CoreFoundation/CFDictionary.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreImage/CIContext.h>
#include <QuartzComposer/QCComposition.h>
#include <QuartzComposer/QCValue.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class QCPortType { Image, Number, Boolean, Index, String, Color, Structure };

struct QCPortDescription {
    std::string key;
    QCPortType type = QCPortType::Number;
    QCValue defaultValue;
};

// A value read as a port of that type reads it (numbers from booleans, indexes rounded and
// never negative, colours from colours only...); null values give the port's default.
QCValue QCConvertValue(const QCValue &value, QCPortType type, const QCValue &fallback);

// What a patch sees while it runs.
class QCPatchContext {
public:
    virtual ~QCPatchContext() = default;
    // The renderer's time, in seconds (the time of the render call).
    virtual double time() const = 0;
    // The value of an input port this frame (already converted to the port's type).
    virtual const QCValue &input(const std::string &key) const = 0;
    virtual void setOutput(const std::string &key, QCValue value) = 0;

    // For consumers: the Core Image context drawing into the destination (the framebuffer
    // bound when the render began), the destination's pixels (the viewport), and the mouse
    // from the render's arguments (-1..1 across the destination, y up; false when none).
    virtual CIContext *ciContext() = 0;
    virtual CGRect destinationPixels() const = 0;
    virtual bool mouseLocation(CGPoint *location) const = 0;
    virtual bool mouseLeftButtonDown() const = 0;
    // Renders an image into a 1 x 1 float read at a pixel of its plane (image-to-numbers).
    virtual bool readPixel(const CIImageRef &image, CGPoint point, float rgba[4]) = 0;
};

class QCPatch {
public:
    virtual ~QCPatch();

    const std::vector<QCPortDescription> &inputPorts() const { return m_inputs; }
    const std::vector<QCPortDescription> &outputPorts() const { return m_outputs; }
    const QCPortDescription *inputPort(const std::string &key) const;
    const QCPortDescription *outputPort(const std::string &key) const;

    virtual bool isConsumer() const { return false; }
    // Runs the patch for one frame: reads inputs and sets every output (a consumer also draws).
    // False when it could not (the render then fails, naming the node).
    virtual bool execute(QCPatchContext &context) = 0;

protected:
    void addInputPort(std::string key, QCPortType type, QCValue defaultValue = {});
    void addOutputPort(std::string key, QCPortType type);

private:
    std::vector<QCPortDescription> m_inputs, m_outputs;
};

// Makes a patch for a node; null with a reason when the node's state cannot be used.
using QCPatchFactory = std::function<std::unique_ptr<QCPatch>(const QCCompositionNode &node, std::string *error)>;

// Registers a class (replacing one of the same name). The engine's own classes are registered
// before the first composition opens.
void QCRegisterPatchClass(const std::string &className, QCPatchFactory factory);
// The factory of a class, or null.
QCPatchFactory QCPatchFactoryForClass(const std::string &className);
// The class names the engine knows, sorted.
std::vector<std::string> QCRegisteredPatchClasses();

// Reading a node's state safely: the value under `key` when it has that type.
bool QCStateString(CFDictionaryRef state, const char *key, std::string *out);
bool QCStateNumber(CFDictionaryRef state, const char *key, double *out);
CFDataRef QCStateData(CFDictionaryRef state, const char *key);  // borrowed
// A property-list value as a port value: numbers, booleans, strings, colours
// ({"red","green","blue","alpha"}) and arrays (structures); null for anything else.
QCValue QCValueFromPropertyList(CFTypeRef value);
