// Values that keep themselves in range when stored: a fraction held in 0..1 and an angle in
// degrees held in 0..360. The mask parameters, layer opacities and other normalised settings
// are built from them:
//
//     T_normal_value<CoreGeometry::T_clamped_value<float>> opacity;
//     opacity = 1.5f;                   // stored as 1
//     T_normal_value<CoreGeometry::T_clamped_angle_degrees<float>> angle;
//     angle = -30.0f;                   // stored as 330
//     float a = angle;                  // or angle.m_value
//
// A NaN is stored as 0 in both kinds, so no NaN ever comes out of them.
#pragma once

#include <cmath>

namespace CoreGeometry {

// A value kept in 0..1: below 0 gives 0, above 1 gives 1, NaN gives 0.
template <class T>
struct T_clamped_value {
    T m_value = T(0);

    T_clamped_value() = default;
    T_clamped_value(T value) { Set(value); }  // NOLINT: stores like assignment
    T_clamped_value &operator=(T value) {
        Set(value);
        return *this;
    }
    operator T() const { return m_value; }

    void Set(T value) { m_value = Constrain(value); }

    static T Constrain(T value) {
        if (!(value > T(0))) return T(0);  // also NaN
        return value < T(1) ? value : T(1);
    }
};

// An angle in degrees kept in [0, 360). Values in 0..360 are kept as they are, fraction
// included (359.5 stays 359.5). From 360 up, the whole degrees are taken modulo 360 and the
// fraction is dropped (725 gives 5, 360.2 gives 0); at -360 and below likewise to a negative
// angle above -360 (-400 gives -40); a negative angle then has 360 added (-30 gives 330,
// -400 gives 320). NaN and infinities give 0.
template <class T>
struct T_clamped_angle_degrees {
    T m_value = T(0);

    T_clamped_angle_degrees() = default;
    T_clamped_angle_degrees(T value) { Set(value); }  // NOLINT: stores like assignment
    T_clamped_angle_degrees &operator=(T value) {
        Set(value);
        return *this;
    }
    operator T() const { return m_value; }

    void Set(T value) { m_value = Constrain(value); }

    static T Constrain(T value) {
        if (!std::isfinite(value)) return T(0);
        if (value >= T(360)) return static_cast<T>(std::fmod(std::trunc(value), T(360)));
        if (value <= T(-360)) value = -static_cast<T>(std::fmod(std::trunc(-value), T(360)));
        if (value < T(0)) {
            value += T(360);
            if (value >= T(360)) value = T(0);  // a tiny negative angle rounds to 360
        }
        return value;
    }
};

}  // namespace CoreGeometry

// A setting held as one of the kinds above (its field m_value), read and stored as its
// plain value.
template <class V>
struct T_normal_value : V {
    using value_type = decltype(V::m_value);

    T_normal_value() = default;
    T_normal_value(value_type value) : V(value) {}  // NOLINT: stores like assignment
    T_normal_value &operator=(value_type value) {
        V::Set(value);
        return *this;
    }
};
