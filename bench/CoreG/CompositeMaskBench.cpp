// The composite mask rebuilt at 640 x 480: both layers repainted in parallel and merged
// (Update), for a few typical pairs of screen and shape, and the merge alone.
#include <benchmark/benchmark.h>

#include <CoreG/Masks/namespace_CoreGraphics_CompositeMask.h>

namespace {

struct Pair {
    int screen, shape, op;
};

// Screens and shapes of each kind: per-pixel (spiral, radial), drawn cells (Perlin blocks),
// lines; Quartz figures and per-pixel shapes.
constexpr Pair kPairs[] = {
    {3, 3, 0},    // spiral, circle, maximum
    {12, 13, 1},  // radial f(t), flower, sum
    {5, 16, 4},   // Perlin blocks, sunflower, sum minus white
    {16, 1, 0},   // horizontal screen, radial Gaussian
};

void BM_CompositeMaskUpdate(benchmark::State &state) {
    const Pair &pair = kPairs[state.range(0)];
    CoreGraphics::CompositeMask composite;
    if (!composite.Construct(640, 480)) {
        state.SkipWithError("cannot construct a 640 x 480 composite");
        return;
    }
    composite.mScreenType = pair.screen;
    composite.mShapeType = pair.shape;
    composite.mOperator = pair.op;
    composite.mScreenOpacity = 0.75f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(composite.Update());
        benchmark::ClobberMemory();
    }
    state.SetLabel("screen " + std::to_string(pair.screen) + ", shape " + std::to_string(pair.shape) + ", op " +
                   std::to_string(pair.op));
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
// Real time: the caller waits while two worker threads paint.
BENCHMARK(BM_CompositeMaskUpdate)->DenseRange(0, 3)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CompositeMaskMergeLayers(benchmark::State &state) {
    CoreGraphics::CompositeMask composite;
    if (!composite.Construct(640, 480)) {
        state.SkipWithError("cannot construct a 640 x 480 composite");
        return;
    }
    composite.mScreenType = 3;
    composite.mShapeType = 3;
    composite.mShapeOpacity = 0.5f;
    composite.Update();
    for (auto _ : state) {
        benchmark::DoNotOptimize(composite.MergeLayers(4, true));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_CompositeMaskMergeLayers)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Each layer of the cases above painted alone, on the calling thread and the helpers its
// painter bands rows across.
constexpr int kScreens[] = {3, 12, 5, 16};
constexpr int kShapes[] = {3, 13, 16, 1};

void BM_MaskScreen(benchmark::State &state) {
    CoreGraphics::MaskContext mask;
    if (!mask.Construct(640, 480)) {
        state.SkipWithError("cannot construct a 640 x 480 mask");
        return;
    }
    const int type = kScreens[state.range(0)];
    const MaskParams params;
    for (auto _ : state) {
        mask.MakeMaskScreen(type, &params);
        mask.WillAccessPixels();
        benchmark::ClobberMemory();
    }
    state.SetLabel("screen " + std::to_string(type));
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_MaskScreen)->DenseRange(0, 3)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_MaskShape(benchmark::State &state) {
    CoreGraphics::MaskContext mask;
    if (!mask.Construct(640, 480)) {
        state.SkipWithError("cannot construct a 640 x 480 mask");
        return;
    }
    const int type = kShapes[state.range(0)];
    const MaskParams params;
    for (auto _ : state) {
        mask.MakeMaskShape(type, &params);
        mask.WillAccessPixels();
        benchmark::ClobberMemory();
    }
    state.SetLabel("shape " + std::to_string(type));
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_MaskShape)->DenseRange(0, 3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
