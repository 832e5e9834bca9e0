#include <NSUIMultiViewController/NSUIMultiViewController.h>

#include <NSUIMultiViewController/NSView_protocol_NSUIMultiViewBox.h>

#include <Foundation/NSObjCRuntime.h>
#include <dispatch/dispatch.h>

NS_REGISTER_CLASS(NSUIMultiViewController);

NSUIMultiViewController::NSUIMultiViewController(QObject *parent) : NSUIMultiViewControllerBase(parent) {}

NSUIMultiViewController::~NSUIMultiViewController() = default;

QList<QWidget *> NSUIMultiViewController::registeredClients() const {
    QList<QWidget *> clients;
    for (const QPointer<QWidget> &client : mRegisteredClients)
        if (!client.isNull()) clients.append(client.data());
    return clients;
}

void NSUIMultiViewController::registerMultiViewClient(QWidget *view) {
    if (dynamic_cast<NSUIMultiViewClientProtocol *>(view) != nullptr) mRegisteredClients.append(view);
}

void NSUIMultiViewController::awakeFromNib() {
    createViewDictionaryOnce(true);
    if (registeredClients().isEmpty()) return;
    QPointer<NSUIMultiViewController> self(this);
    dispatch_async(dispatch_get_main_queue(), [self] {
        if (!self.isNull()) self->runAwakeBlock();
    });
}

void NSUIMultiViewController::runAwakeBlock() {
    const QList<QWidget *> clients = registeredClients();
    if (clients.isEmpty()) return;
    for (QWidget *client : clients) addMultiView(client);
    QWidget *first = clients.first();
    selectMultiView(first);
    setSelectedMultiViewTitle(protocol_NSUIMultiViewBox::multiViewTitle(first));
    awakeFromNibCompleted();
}

void NSUIMultiViewController::multiViewClientListChanged(const QString &title) {
    if (title.isNull()) return;
    if (auto *control = dynamic_cast<NSUIMultiViewSwitchingControlProtocol *>(mSwitchingControl.data()))
        control->refreshMultiViewTitlesWithSelection(title);
}

void NSUIMultiViewController::setSelectedMultiViewTitle(const QString &title) {
    NSUIMultiViewControllerBase::setSelectedMultiViewTitle(title);
    setSwitchingControlSelectedMultiViewTitle(title);
}

void NSUIMultiViewController::multiViewSwitchingControlSelectionChanged(QObject *) {
    NSUIMultiViewControllerBase::setSelectedMultiViewTitle(switchingControlSelectedMultiViewTitle());
}

void NSUIMultiViewController::setSwitchingControlSelectedMultiViewTitle(const QString &title) {
    if (auto *control = dynamic_cast<NSUIMultiViewSwitchingControlProtocol *>(mSwitchingControl.data()))
        control->setSelectedMultiViewTitle(title);
}

QString NSUIMultiViewController::switchingControlSelectedMultiViewTitle() const {
    auto *control = dynamic_cast<NSUIMultiViewSwitchingControlProtocol *>(mSwitchingControl.data());
    return control == nullptr ? QString() : control->selectedMultiViewTitle();
}

bool import_NSUIMultiViewController() { return import_NSUIMultiViewControllerBase(); }
