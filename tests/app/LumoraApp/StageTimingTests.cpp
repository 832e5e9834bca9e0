// The timing table: averages per label, the table view's answers, reset, the process-wide
// sampler's registration, reports from several threads, and the stage stopwatch reporting on a
// normal exit and when an exception leaves its scope.
#include <LumoraApp/UCoreFnSampler.h>

#include <gtest/gtest.h>

#include <QStandardItemModel>
#include <QTableView>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

QString Cell(const UCoreFnSampler &sampler, int row, int column) {
    return sampler.data(sampler.index(row, column), Qt::DisplayRole).toString();
}

TEST(UCoreFunctionTest, AverageTextInMilliseconds) {
    const struct {
        double total;
        uint32_t count;
        const char *text;
    } cases[] = {
        {0.012, 3, "4.0 msec (3)"},
        {0.0005, 1, "0.5 msec (1)"},
        {1.5, 10, "150.0 msec (10)"},
        {0.0, 0, "0.0 msec (0)"},  // no samples: no division by zero
    };
    for (const auto &c : cases) {
        UCoreFunction function;
        function.setSampledTime(c.total);
        function.setSampleCount(c.count);
        EXPECT_EQ(function.averageFnTime(), QString::fromLatin1(c.text)) << c.total << " / " << c.count;
    }
    const UCoreFunction made = UCoreFunction::sampledFn("Render Timer", 0.25);
    EXPECT_EQ(made.functionName(), QStringLiteral("Render Timer"));
    EXPECT_EQ(made.sampleCount(), 1u);
    EXPECT_DOUBLE_EQ(made.sampledTime(), 0.25);
    EXPECT_EQ(UCoreFunction::sampledFn(nullptr, 0.0).functionName(), QString());
}

TEST(UCoreFnSamplerTest, ReportsAccumulatePerLabelInFirstReportOrder) {
    UCoreFnSampler sampler;
    sampler.sampleFunctionName("Render Input Stack", 0.002);
    sampler.sampleFunctionName("Render Timer", 0.010);
    sampler.sampleFunctionName("Render Input Stack", 0.004);
    sampler.sampleFunctionName("Render Input Stack", 0.006);
    // Nothing to store: no label, or no number.
    sampler.sampleFunctionName(nullptr, 0.5);
    sampler.sampleFunctionName("Render Timer", std::nan(""));
    sampler.sampleFunctionName("Render Timer", INFINITY);

    ASSERT_EQ(sampler.numberOfRowsInTableView(), 2);
    const struct {
        int row;
        const char *column;
        const char *value;
    } cells[] = {
        {0, "functionName", "Render Input Stack"},
        {0, "functionTime", "4.0 msec (3)"},
        {1, "functionName", "Render Timer"},
        {1, "functionTime", "10.0 msec (1)"},
        {1, "noSuchColumn", ""},
        {2, "functionName", ""},  // past the end
        {-1, "functionTime", ""},
    };
    for (const auto &c : cells) {
        const QVariant value = sampler.tableViewObjectValue(QString::fromLatin1(c.column), c.row);
        EXPECT_EQ(value.toString(), QString::fromLatin1(c.value)) << c.row << " " << c.column;
        EXPECT_TRUE(value.isValid()) << "an empty string, never nil";
    }
}

TEST(UCoreFnSamplerTest, TableShowsRowsWhenReloadedAndResetEmptiesIt) {
    riradi_test::Application();
    UCoreFnSampler sampler;
    QTableView table;
    sampler.setOutletTableView(&table);
    sampler.awakeFromNib();
    EXPECT_EQ(table.model(), &sampler);
    EXPECT_TRUE(sampler.isRefreshing());
    EXPECT_EQ(sampler.refreshInterval(), 1000);
    EXPECT_EQ(sampler.columnCount(), 2);
    EXPECT_EQ(sampler.headerData(0, Qt::Horizontal).toString(), QStringLiteral("functionName"));
    EXPECT_EQ(sampler.headerData(1, Qt::Horizontal).toString(), QStringLiteral("functionTime"));

    sampler.sampleFunctionName("Render Timer", 0.001);
    EXPECT_EQ(sampler.rowCount(), 0) << "the view hears of new rows at the next refresh";
    sampler.refreshTimer();
    ASSERT_EQ(sampler.rowCount(), 1);
    EXPECT_EQ(Cell(sampler, 0, 0), QStringLiteral("Render Timer"));
    EXPECT_EQ(Cell(sampler, 0, 1), QStringLiteral("1.0 msec (1)"));
    EXPECT_FALSE(sampler.data(sampler.index(0, 0), Qt::EditRole).isValid());

    sampler.resetAction();
    EXPECT_EQ(sampler.rowCount(), 0);
    EXPECT_EQ(sampler.numberOfRowsInTableView(), 0);
    EXPECT_TRUE(sampler.functions().empty());
    sampler.sampleFunctionName("Render Timer", 0.003);
    sampler.refreshTimer();
    ASSERT_EQ(sampler.rowCount(), 1);
    EXPECT_EQ(Cell(sampler, 0, 1), QStringLiteral("3.0 msec (1)")) << "a fresh average after the reset";
}

TEST(UCoreFnSamplerTest, TheLastMadeSamplerIsTheSharedOneUntilDestroyed) {
    EXPECT_EQ(UCoreFnSampler::sharedFnSampler(), nullptr);
    EXPECT_FALSE(UCoreFnSampler::sampleSharedFunctionName("Render Timer", 0.001));
    {
        UCoreFnSampler first;
        EXPECT_EQ(UCoreFnSampler::sharedFnSampler(), &first);
        auto second = std::make_unique<UCoreFnSampler>();
        EXPECT_EQ(UCoreFnSampler::sharedFnSampler(), second.get());
        {
            UCoreFnSampler third;
            EXPECT_EQ(UCoreFnSampler::sharedFnSampler(), &third);
        }
        EXPECT_EQ(UCoreFnSampler::sharedFnSampler(), nullptr) << "the last one made left";
        UCoreFnSampler fourth;
        second.reset();
        EXPECT_EQ(UCoreFnSampler::sharedFnSampler(), &fourth) << "an older sampler leaving keeps the newer one";
        EXPECT_TRUE(UCoreFnSampler::sampleSharedFunctionName("Render Timer", 0.002));
        EXPECT_EQ(fourth.numberOfRowsInTableView(), 1);
        EXPECT_EQ(first.numberOfRowsInTableView(), 0);
    }
    EXPECT_EQ(UCoreFnSampler::sharedFnSampler(), nullptr);
}

TEST(UCoreFnSamplerTest, ReportsFromSeveralThreadsAreAllCounted) {
    // The samplers come and go on this thread while four threads report through the shared
    // pointer: no report reaches a destroyed sampler (the sanitizers watch), none is lost.
    constexpr int kThreads = 4, kReports = 2000;
    std::atomic<bool> go{false};
    std::atomic<int> delivered{0};
    auto sampler = std::make_unique<UCoreFnSampler>();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            const char *label = t % 2 == 0 ? "Render Timer" : "Input Camera Frame";
            for (int i = 0; i < kReports; ++i) {
                if (UCoreFnSampler::sampleSharedFunctionName(label, 0.001)) delivered.fetch_add(1);
            }
        });
    }
    go.store(true);
    for (int round = 0; round < 20; ++round) {
        auto next = std::make_unique<UCoreFnSampler>();
        sampler = std::move(next);  // the older one is destroyed while reports arrive
    }
    for (std::thread &thread : threads) thread.join();
    uint64_t counted = 0;
    for (const UCoreFunction &function : sampler->functions()) counted += function.sampleCount();
    EXPECT_LE(counted, uint64_t(delivered.load()));

    // With one sampler throughout, every report is counted.
    UCoreFnSampler steady;
    threads.clear();
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < kReports; ++i) UCoreFnSampler::sampleSharedFunctionName("Render Timer", 0.001);
        });
    }
    for (std::thread &thread : threads) thread.join();
    ASSERT_EQ(steady.functions().size(), 1u);
    EXPECT_EQ(steady.functions()[0].sampleCount(), uint32_t(kThreads * kReports));
}

TEST(UCoreFnStageTimerTest, ReportsTheStageOnNormalExitAndOnException) {
    {
        // No sampler: the timer reports nowhere and nothing breaks.
        UCoreFnStageTimer timer("Render Timer");
    }
    UCoreFnSampler sampler;
    {
        UCoreFnStageTimer timer("Render Quartz Composition");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_THROW(
        {
            UCoreFnStageTimer timer("Render Input Frame");
            throw std::runtime_error("a failing stage");
        },
        std::runtime_error);
    const std::vector<UCoreFunction> functions = sampler.functions();
    ASSERT_EQ(functions.size(), 2u);
    EXPECT_EQ(functions[0].functionName(), QStringLiteral("Render Quartz Composition"));
    EXPECT_EQ(functions[0].sampleCount(), 1u);
    EXPECT_GE(functions[0].sampledTime(), 0.002) << "seconds, not nanoseconds or milliseconds";
    EXPECT_LT(functions[0].sampledTime(), 1.0);
    EXPECT_EQ(functions[1].functionName(), QStringLiteral("Render Input Frame"));
    EXPECT_EQ(functions[1].sampleCount(), 1u);
    EXPECT_GE(functions[1].sampledTime(), 0.0);
    EXPECT_TRUE(import_UCoreFnSampler());
}

}  // namespace
