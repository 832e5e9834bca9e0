// Helpers of the multi-view tests: draining the main queue, a delegate that records what it is
// told, and client pages with tool tips.
#pragma once

#include <NSUIMultiViewController/NSUIMultiViewClientViewHolder.h>
#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

#include <dispatch/dispatch.h>

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace multiview_test {

// Runs the main queue (no pump is installed in tests) and Qt's pending events until both are
// quiet.
inline void Drain() {
    for (int round = 0; round < 10; ++round) {
        riradi_test::RunPendingEvents();
        if (dispatch_main_queue_drain() == 0) break;
    }
}

// The delegate of a controller: the title of each view it is told of ("-" for none).
class RecordingDelegate : public QObject, public NSUIMultiViewControllerDelegate {
public:
    void multiViewController(QObject *controller, QWidget *selectionChanged) override {
        lastController = controller;
        auto *client = dynamic_cast<NSUIMultiViewClientProtocol *>(selectionChanged);
        told.push_back(client != nullptr ? client->multiViewTitle() : QStringLiteral("-"));
    }
    QObject *lastController = nullptr;
    std::vector<QString> told;
};

inline NSUIMultiViewClientViewHolder *Client(const QString &toolTip) {
    auto *client = new NSUIMultiViewClientViewHolder;
    client->setToolTip(toolTip);
    return client;
}

}  // namespace multiview_test
