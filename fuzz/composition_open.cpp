// Compositions come from effect packs, the Library folders and whoever put a file there: any
// bytes must open as a composition or be refused with a reason, and a composition that opens
// must play a frame (or fail it cleanly), never misbehave.
#include "FuzzSupport.h"

#include <QuartzComposer/QCRenderer.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string error;
    QCCompositionRef composition = QCComposition::compositionWithBytes(data, size, &error);
    LUMORA_CHECK((composition == nullptr) == !error.empty());
    if (!composition) return 0;
    // A tiny picture: the frame's work, not its pixels, is what is under test.
    std::unique_ptr<QCRenderer> renderer =
        QCRenderer::offScreenRendererWithSize(CGSizeMake(8, 6), nullptr, composition, &error);
    if (!renderer) return 0;
    if (!renderer->renderAtTime(0.25)) LUMORA_CHECK(!renderer->lastError().empty());
    for (const std::string &key : renderer->outputKeys()) (void)renderer->valueForOutputKey(key);
    return 0;
}
