// A display-link delegate that writes every call it gets into a log shared by the delegates of a
// test ("master:lock", "slave:render", ...) and answers or throws as it is told.
#pragma once

#include <CocoaQZ/DisplayLink/NSUIDisplayLink.h>

#include <Foundation/NSException.h>

#include <QObject>
#include <QString>
#include <QWidget>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace displaylink_test {

// The calls of every delegate of one test, in order.
class CallLog {
public:
    void add(const std::string &entry) {
        std::lock_guard<std::mutex> guard(mMutex);
        mEntries.push_back(entry);
    }
    std::vector<std::string> entries() const {
        std::lock_guard<std::mutex> guard(mMutex);
        return mEntries;
    }
    int count(const std::string &entry) const {
        int found = 0;
        for (const std::string &each : entries()) found += each == entry ? 1 : 0;
        return found;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(mMutex);
        mEntries.clear();
    }

private:
    mutable std::mutex mMutex;
    std::vector<std::string> mEntries;
};

enum class Throw { Nothing, NSExceptionInRender, StdExceptionInRender, NSExceptionInFlush };

// Base of the delegates: the protocol over a log. `Base` is QObject or QWidget.
template <class Base>
class RecordingDelegateOf : public Base, public protocol_NSUIDisplayLinkDelegate {
public:
    RecordingDelegateOf(std::string name, CallLog &log) : mName(std::move(name)), mLog(log) {}

    std::atomic<bool> lockAnswer{true};
    std::atomic<bool> shouldRenderAnswer{true};
    std::atomic<Throw> raise{Throw::Nothing};
    // Runs inside displayLinkRenderForTime, after it was logged.
    std::function<void()> onRender;
    // Runs inside displayLinkLockDrawable, before it answers.
    std::function<void()> onLock;
    std::atomic<int> renders{0};
    std::atomic<int> locks{0};
    std::atomic<int> unlocks{0};

    bool displayLinkShouldRenderForTime(NSUIDisplayLinkViewController *, const CVTimeStamp *time) override {
        log(time != nullptr ? "shouldRender" : "shouldRender(null)");
        return shouldRenderAnswer;
    }
    void displayLinkFlushDrawable(NSUIDisplayLinkViewController *) override {
        log("flush");
        if (raise == Throw::NSExceptionInFlush) NSException::raise(NSGenericException, "flush failed");
    }
    void displayLinkChanged(NSUIDisplayLinkViewController *) override { log("changed"); }
    void displayLinkCreated(NSUIDisplayLinkViewController *) override { log("created"); }
    void displayLinkRenderForTime(NSUIDisplayLinkViewController *, const CVTimeStamp *time) override {
        log(time != nullptr ? "render" : "render(null)");
        ++renders;
        if (onRender) onRender();
        if (raise == Throw::NSExceptionInRender) NSException::raise(NSGenericException, "render failed");
        if (raise == Throw::StdExceptionInRender) throw std::runtime_error("render failed");
    }
    void displayLinkUnlockDrawable(NSUIDisplayLinkViewController *) override {
        ++unlocks;
        log("unlock");
    }
    bool displayLinkLockDrawable(NSUIDisplayLinkViewController *) override {
        ++locks;
        log("lock");
        if (onLock) onLock();
        return lockAnswer;
    }

private:
    void log(const char *call) { mLog.add(mName + ":" + call); }

    std::string mName;
    CallLog &mLog;
};

using RecordingDelegate = RecordingDelegateOf<QObject>;
using RecordingView = RecordingDelegateOf<QWidget>;

}  // namespace displaylink_test
