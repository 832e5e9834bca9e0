#include "UNibSingleton.h"

#include <QHash>

namespace {

struct Tables {
    QHash<QString, UNibSingleton *> instances;  // never deleted: the instances live until exit
    QHash<QString, bool> initialized;
};

Tables &SharedTables() {
    static Tables *tables = new Tables;  // never destroyed: usable during exit
    return *tables;
}

}  // namespace

std::recursive_mutex &UNibSingleton::TableMutex() {
    static std::recursive_mutex *mutex = new std::recursive_mutex;
    return *mutex;
}

UNibSingleton::UNibSingleton() = default;

UNibSingleton::~UNibSingleton() = default;

void UNibSingleton::initOnceInstance() {}

void UNibSingleton::initEveryInstance() {}

UNibSingleton *UNibSingleton::sharedInstanceForKey(const QString &key) {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    return SharedTables().instances.value(key, nullptr);
}

void UNibSingleton::setSharedInstance(const QString &key, UNibSingleton *instance) {
    if (instance == nullptr) return;
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    Tables &tables = SharedTables();
    if (tables.instances.contains(key)) return;
    tables.instances.insert(key, instance);
    tables.initialized.insert(key, false);
}

bool UNibSingleton::sharedInstanceWasInitialized(const QString &key) {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    return SharedTables().initialized.value(key, false);
}

void UNibSingleton::setSharedInstanceWasInitialized(const QString &key, bool initialized) {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    SharedTables().initialized.insert(key, initialized);
}

UNibSingleton *UNibSingleton::initSharedInstance(const QString &key) {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    UNibSingleton *instance = sharedInstanceForKey(key);
    if (instance == nullptr) return nullptr;
    if (!sharedInstanceWasInitialized(key)) {
        setSharedInstanceWasInitialized(key, true);
        instance->initOnceInstance();
    }
    instance->initEveryInstance();
    return instance;
}

bool import_UNibSingleton() { return true; }
