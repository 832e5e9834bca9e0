// The engine's number patches: the render time, low-frequency oscillators, arithmetic in up to
// four steps, interpolation over time, and the mouse. Every number they give is finite.
#include <QuartzComposer/QCPatch.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace {

// A number as a port reads it, finite (0 otherwise).
double Finite(double x) { return std::isfinite(x) ? x : 0.0; }
// An index port's value as an int (indexes are whole and never negative already).
int IndexOf(const QCValue &value) { return int(std::min(value.numberValue(), 1e9)); }
// The fractional part, in [0, 1).
double Fraction(double x) {
    const double f = x - std::floor(x);
    return f >= 1.0 ? 0.0 : f;
}

// ---- QCPatchTime: the time of the render, in seconds.

class PatchTime : public QCPatch {
public:
    PatchTime() { addOutputPort("outputTime", QCPortType::Number); }
    bool execute(QCPatchContext &c) override {
        c.setOutput("outputTime", Finite(c.time()));
        return true;
    }
};

// ---- QCLFO: offset + amplitude * wave(time / period + phase), the wave between -1 and 1.

enum LFOType { kSine, kTriangle, kSquare, kSawtoothUp, kSawtoothDown, kPWM, kLFOTypes };

// The wave at `x` of a period (0..1). The sine, triangle and square start at 0 or +1 and are
// high over the first half; the PWM wave is +1 over the first `ratio` of the period.
double Wave(int type, double x, double ratio) {
    switch (type) {
    case kTriangle: return x < 0.25 ? 4 * x : x < 0.75 ? 2 - 4 * x : 4 * x - 4;
    case kSquare: return x < 0.5 ? 1 : -1;
    case kSawtoothUp: return 2 * x - 1;
    case kSawtoothDown: return 1 - 2 * x;
    case kPWM: return x < std::clamp(ratio, 0.0, 1.0) ? 1 : -1;
    default: return std::sin(2 * M_PI * x);
    }
}

class LFO : public QCPatch {
public:
    LFO() {
        addInputPort("inputType", QCPortType::Index, QCValue(0.0));
        addInputPort("inputPeriod", QCPortType::Number, QCValue(1.0));
        addInputPort("inputPhase", QCPortType::Number, QCValue(0.0));
        addInputPort("inputAmplitude", QCPortType::Number, QCValue(0.5));
        addInputPort("inputOffset", QCPortType::Number, QCValue(0.5));
        addInputPort("inputPWMRatio", QCPortType::Number, QCValue(0.5));
        addOutputPort("outputValue", QCPortType::Number);
    }
    bool execute(QCPatchContext &c) override {
        const double offset = c.input("inputOffset").numberValue();
        const double period = c.input("inputPeriod").numberValue();
        double value = offset;
        if (period > 0) {
            // An unknown type reads as the sine.
            const int type = IndexOf(c.input("inputType")) < kLFOTypes ? IndexOf(c.input("inputType")) : kSine;
            const double x = Fraction(c.time() / period + c.input("inputPhase").numberValue());
            if (std::isfinite(x))
                value = offset + c.input("inputAmplitude").numberValue() * Wave(type, x, c.input("inputPWMRatio").numberValue());
        }
        c.setOutput("outputValue", Finite(value));
        return true;
    }
};

// ---- QCMath: "inputValue" through steps of (operation, operand).

enum MathOperation { kAdd, kSubtract, kMultiply, kDivide, kModulo, kMin, kMax, kPower, kMathOperations };
constexpr int kMaxMathSteps = 4;

// One step; a result that is not finite (a division by 0, a power out of range) is 0.
double Apply(int operation, double value, double operand) {
    double result = value;
    switch (operation) {
    case kAdd: result = value + operand; break;
    case kSubtract: result = value - operand; break;
    case kMultiply: result = value * operand; break;
    case kDivide: result = operand == 0 ? 0 : value / operand; break;
    // The floored modulo: the result has the operand's sign (-1 mod 3 is 2).
    case kModulo: result = operand == 0 ? 0 : value - std::floor(value / operand) * operand; break;
    case kMin: result = std::min(value, operand); break;
    case kMax: result = std::max(value, operand); break;
    case kPower: result = std::pow(value, operand); break;
    default: break;  // an unknown operation leaves the value as it is
    }
    return Finite(result);
}

class Math : public QCPatch {
public:
    explicit Math(int steps) : m_steps(steps) {
        addInputPort("inputValue", QCPortType::Number, QCValue(0.0));
        for (int n = 1; n <= steps; ++n) {
            addInputPort("inputOperation_" + std::to_string(n), QCPortType::Index, QCValue(double(kAdd)));
            addInputPort("inputOperand_" + std::to_string(n), QCPortType::Number, QCValue(0.0));
        }
        addOutputPort("outputValue", QCPortType::Number);
    }
    bool execute(QCPatchContext &c) override {
        double value = Finite(c.input("inputValue").numberValue());
        for (int n = 1; n <= m_steps; ++n)
            value = Apply(IndexOf(c.input("inputOperation_" + std::to_string(n))), value,
                          c.input("inputOperand_" + std::to_string(n)).numberValue());
        c.setOutput("outputValue", value);
        return true;
    }

private:
    int m_steps;
};

// ---- QCInterpolation: from the start value to the end value over the duration, eased.

enum Repeat { kNoRepeat, kLoop, kMirroredLoop };

using Easing = double (*)(double);
struct EasingName {
    const char *name;
    Easing easing;
};
const std::array<EasingName, 8> kEasings = {{
    {"linear", [](double p) { return p; }},
    {"quadraticIn", [](double p) { return p * p; }},
    {"quadraticOut", [](double p) { return p * (2 - p); }},
    {"quadraticInOut", [](double p) { return p < 0.5 ? 2 * p * p : 1 - 2 * (1 - p) * (1 - p); }},
    {"exponentialIn", [](double p) { return p <= 0 ? 0.0 : std::pow(2.0, 10 * (p - 1)); }},
    {"exponentialOut", [](double p) { return p >= 1 ? 1.0 : 1 - std::pow(2.0, -10 * p); }},
    {"exponentialInOut",
     [](double p) {
         if (p <= 0 || p >= 1) return p <= 0 ? 0.0 : 1.0;
         return p < 0.5 ? std::pow(2.0, 20 * p - 10) / 2 : 1 - std::pow(2.0, 10 - 20 * p) / 2;
     }},
    {"sinusoidalInOut", [](double p) { return (1 - std::cos(M_PI * p)) / 2; }},
}};

class Interpolation : public QCPatch {
public:
    explicit Interpolation(Easing easing) : m_easing(easing) {
        addInputPort("inputStartValue", QCPortType::Number, QCValue(0.0));
        addInputPort("inputEndValue", QCPortType::Number, QCValue(1.0));
        addInputPort("inputDuration", QCPortType::Number, QCValue(1.0));
        addInputPort("inputRepeat", QCPortType::Index, QCValue(double(kNoRepeat)));
        addOutputPort("outputValue", QCPortType::Number);
    }
    bool execute(QCPatchContext &c) override {
        const double start = c.input("inputStartValue").numberValue();
        const double end = c.input("inputEndValue").numberValue();
        const double duration = c.input("inputDuration").numberValue();
        // A duration of 0 or less is over at once.
        double p = duration > 0 ? c.time() / duration : 1.0;
        switch (IndexOf(c.input("inputRepeat"))) {
        case kLoop: p = Fraction(p); break;
        case kMirroredLoop: {
            const double q = 2 * Fraction(p / 2);  // 0..2: forward, then back
            p = q <= 1 ? q : 2 - q;
            break;
        }
        default: p = std::clamp(p, 0.0, 1.0); break;  // none, and unknown modes
        }
        if (!std::isfinite(p)) p = 0;
        c.setOutput("outputValue", Finite(start + (end - start) * m_easing(p)));
        return true;
    }

private:
    Easing m_easing;
};

// ---- QCMouse: the mouse in unit coordinates (-1..1 across the destination, y up).

class Mouse : public QCPatch {
public:
    Mouse() {
        addOutputPort("outputX", QCPortType::Number);
        addOutputPort("outputY", QCPortType::Number);
        addOutputPort("outputLeftButton", QCPortType::Boolean);
    }
    bool execute(QCPatchContext &c) override {
        CGPoint p = {0, 0};
        if (!c.mouseLocation(&p)) p = CGPointMake(0, 0);
        c.setOutput("outputX", Finite(p.x));
        c.setOutput("outputY", Finite(p.y));
        c.setOutput("outputLeftButton", c.mouseLeftButtonDown());
        return true;
    }
};

} // namespace

std::vector<std::pair<std::string, QCPatchFactory>> QCTimePatchClasses() {
    return {
        {"QCPatchTime", [](const QCCompositionNode &, std::string *) { return std::make_unique<PatchTime>(); }},
        {"QCLFO", [](const QCCompositionNode &, std::string *) { return std::make_unique<LFO>(); }},
        {"QCMath",
         [](const QCCompositionNode &node, std::string *error) -> std::unique_ptr<QCPatch> {
             double steps = 1;
             if (CFDictionaryGetValue(node.state, CFSTR("numberOfOperations")) &&
                 (!QCStateNumber(node.state, "numberOfOperations", &steps) || steps != std::floor(steps) || steps < 0 ||
                  steps > kMaxMathSteps)) {
                 *error = "\"numberOfOperations\" is not a whole number from 0 to 4";
                 return nullptr;
             }
             return std::make_unique<Math>(int(steps));
         }},
        {"QCInterpolation",
         [](const QCCompositionNode &node, std::string *error) -> std::unique_ptr<QCPatch> {
             if (!CFDictionaryGetValue(node.state, CFSTR("interpolation")))
                 return std::make_unique<Interpolation>(kEasings[0].easing);
             std::string name;
             if (QCStateString(node.state, "interpolation", &name))
                 for (const EasingName &e : kEasings)
                     if (name == e.name) return std::make_unique<Interpolation>(e.easing);
             *error = "\"interpolation\" is none of";
             for (const EasingName &e : kEasings) *error += std::string(" \"") + e.name + "\"";
             return nullptr;
         }},
        {"QCMouse", [](const QCCompositionNode &, std::string *) { return std::make_unique<Mouse>(); }},
    };
}
