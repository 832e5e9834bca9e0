// The pop-up box test nib: a box with a pop-up and a placeholder, and two pages (tool tips
// "Noise" and "blur") that add themselves to the box when the nib wakes.
#pragma once

#include <NSUIMultiViewController/NSUIMultiViewHolder.h>
#include <NSUIMultiViewController/NSUIMultiViewPopUpBox.h>

#include <AppKit/NSNib.h>

#include <QComboBox>
#include <QWidget>

#include <memory>

namespace multiview_test {

struct BoxPanel {
    std::unique_ptr<QWidget> root;
    NSUIMultiViewPopUpBox *box = nullptr;
    QComboBox *popup = nullptr;
    NSUIMultiViewHolder *noisePage = nullptr;
    NSUIMultiViewHolder *blurPage = nullptr;

    // Loads the nib; false when it does not load or lacks an object.
    bool Load() {
        std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("MultiViewPopUpBoxPanel"));
        QList<QObject *> objects;
        if (nib == nullptr || !nib->instantiateNibWithOwner(nullptr, &objects) || objects.size() != 1) return false;
        root.reset(qobject_cast<QWidget *>(objects.front()));
        if (root == nullptr) return false;
        box = root->findChild<NSUIMultiViewPopUpBox *>(QStringLiteral("box"));
        popup = root->findChild<QComboBox *>(QStringLiteral("popup"));
        noisePage = root->findChild<NSUIMultiViewHolder *>(QStringLiteral("noisePage"));
        blurPage = root->findChild<NSUIMultiViewHolder *>(QStringLiteral("blurPage"));
        return box != nullptr && popup != nullptr && noisePage != nullptr && blurPage != nullptr;
    }
};

}  // namespace multiview_test
