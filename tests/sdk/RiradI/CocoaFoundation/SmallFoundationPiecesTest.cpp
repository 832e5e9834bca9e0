#include <CocoaFoundation/NSStringNumberValues.h>
#include <CocoaFoundation/NSStringVersionComparand.h>
#include <CocoaFoundation/UFoundationObjectQueue.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using VersionComparandDoubleValue::stringVersionCompare;
using VersionComparandDoubleValue::stringVersionComparandDoubleValue;

TEST(VersionComparand, AccumulatesComponentsByHundreds) {
    const struct {
        const char *version;
        double comparand;
    } cases[] = {
        {"10.6.8", 100608}, {"10.7", 1007}, {"2", 2},       {"", 0},
        {"2.0.4", 20004},   {"2.1", 201},   {"10.8b1", 1008}, {"x.5", 5},
        {"1.100", 200},  // a component of 100 carries into the next place
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(stringVersionComparandDoubleValue(QString::fromUtf8(c.version)), c.comparand)
            << c.version;
    EXPECT_LT(stringVersionComparandDoubleValue("10.6"), stringVersionComparandDoubleValue("10.10"));
}

TEST(VersionComparand, CompareOrdersComponentByComponent) {
    const struct {
        const char *left;
        const char *right;
        int order;
    } cases[] = {
        {"2.1", "2.0.4", 1},  {"2.0.4", "2.1", -1}, {"2.0.5", "2.0.4", 1}, {"2", "2.0.0", 0},
        {"10.10", "10.6", 1}, {"1.100", "2", -1},   {"", "0", 0},          {"3.0b2", "3.0", 0},
        {"10", "9.99.99", 1}, {"2.0.4", "2.0.4", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(stringVersionCompare(QString::fromUtf8(c.left), QString::fromUtf8(c.right)), c.order)
            << c.left << " vs " << c.right;
}

TEST(NSStringNumberValues, ReadsTheLeadingNumber) {
    using namespace NSStringNumberValues;
    EXPECT_DOUBLE_EQ(stringDoubleValue("  2.5x"), 2.5);
    EXPECT_DOUBLE_EQ(stringDoubleValue("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(stringDoubleValue("+3e2"), 300);
    EXPECT_DOUBLE_EQ(stringDoubleValue("yes"), 0);
    EXPECT_DOUBLE_EQ(stringDoubleValue("nan"), 0);
    EXPECT_DOUBLE_EQ(stringDoubleValue("--1"), 0);
    EXPECT_EQ(stringIntValue(" 42abc"), 42);
    EXPECT_EQ(stringIntValue("2.9"), 2);
    EXPECT_EQ(stringIntValue("-7"), -7);
    EXPECT_EQ(stringIntValue("99999999999999999999"), 2147483647);
    EXPECT_EQ(variantIntValue(QVariant(true)), 1);
    EXPECT_EQ(variantIntValue(QVariant(3.7)), 3);
    EXPECT_EQ(variantIntValue(QVariant()), 0);
    EXPECT_DOUBLE_EQ(variantDoubleValue(QVariant(QStringLiteral("10"))), 10);
}

struct Item {
    explicit Item(std::string n) : name(std::move(n)) {}
    std::string name;
};

TEST(UFoundationObjectQueue, GivesTheOldestFirstAndCounts) {
    auto queue = UFoundationObjectQueue<Item>::emptyObjectQueue();
    EXPECT_EQ(queue->copyAndRemoveOldestObject(), nullptr);
    for (const char *name : {"A", "B", "C"}) queue->addNewestObject(std::make_shared<Item>(name));
    queue->addNewestObject(nullptr);
    EXPECT_EQ(queue->numberOfObjectsInQueue(), 3u);
    EXPECT_EQ(queue->copyAndRemoveOldestObject()->name, "A");
    EXPECT_EQ(queue->copyAndRemoveOldestObject()->name, "B");
    EXPECT_EQ(queue->numberOfObjectsInQueue(), 1u);
    EXPECT_EQ(queue->copyAndRemoveOldestObject()->name, "C");
    EXPECT_EQ(queue->copyAndRemoveOldestObject(), nullptr);

    auto kept = std::make_shared<Item>("kept");
    queue->addNewestObject(kept);
    queue->addNewestObject(std::make_shared<Item>("D"));
    EXPECT_EQ(kept.use_count(), 2);
    queue->removeAllObjects();
    EXPECT_EQ(queue->numberOfObjectsInQueue(), 0u);
    EXPECT_EQ(kept.use_count(), 1);  // the queue let go of its reference
}

TEST(UFoundationObjectQueue, ProducersAndConsumersShareOneQueue) {
    UFoundationObjectQueue<int> queue;
    constexpr int kPerProducer = 2000;
    std::atomic<int> taken{0};
    std::atomic<long> sum{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < 2; ++p)
        threads.emplace_back([&] {
            for (int i = 1; i <= kPerProducer; ++i) queue.addNewestObject(std::make_shared<int>(i));
        });
    for (int c = 0; c < 2; ++c)
        threads.emplace_back([&] {
            while (taken.load() < 2 * kPerProducer) {
                if (auto item = queue.copyAndRemoveOldestObject()) {
                    sum += *item;
                    ++taken;
                } else {
                    std::this_thread::yield();
                }
            }
        });
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(sum.load(), 2L * kPerProducer * (kPerProducer + 1) / 2);
    EXPECT_EQ(queue.numberOfObjectsInQueue(), 0u);
}

}  // namespace
