// IOSurfaceSharingConnectionID: a channel named by a port name and a port number together
// (the window channel is named by both: the service name and the UDP port).
#pragma once

#include <QMetaType>
#include <QString>

#include <cstdint>
#include <optional>

class IOSurfaceSharingConnectionID {
public:
    IOSurfaceSharingConnectionID() = default;
    IOSurfaceSharingConnectionID(const QString &portName, std::optional<uint32_t> portNumber)
        : mPortName(portName), mPortNumber(portNumber) {}

    static IOSurfaceSharingConnectionID connectionIDwithPortName(const QString &name, std::optional<uint32_t> number) {
        return IOSurfaceSharingConnectionID(name, number);
    }
    static IOSurfaceSharingConnectionID connectionIDwithPortName(const QString &name) {
        return IOSurfaceSharingConnectionID(name, std::nullopt);
    }
    static IOSurfaceSharingConnectionID connectionIDwithPortNumber(uint32_t number) {
        return IOSurfaceSharingConnectionID(QString(), number);
    }

    // Null without a name.
    const QString &portName() const { return mPortName; }
    void setPortName(const QString &name) { mPortName = name; }
    const std::optional<uint32_t> &portNumber() const { return mPortNumber; }
    void setPortNumber(std::optional<uint32_t> number) { mPortNumber = number; }
    // 0 without a number.
    uint32_t unsignedPortNumber() const { return mPortNumber.value_or(0); }

    bool operator==(const IOSurfaceSharingConnectionID &other) const {
        return mPortName == other.mPortName && mPortNumber == other.mPortNumber;
    }

private:
    QString mPortName;
    std::optional<uint32_t> mPortNumber;
};

Q_DECLARE_METATYPE(IOSurfaceSharingConnectionID)
