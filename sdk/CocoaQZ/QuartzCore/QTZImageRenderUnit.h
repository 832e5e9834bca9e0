// QTZImageRenderUnit: a small composition played offscreen (640 x 480) as an image generator
// or filter, outside the effect pipeline. A delegate may set the renderer's inputs before
// each render; subclasses feed an image through an image-filter composition
// (QTZImageFilterUnit) or render a two-colour gradient (QTZImageGradientUnit).
//
//     auto unit = QTZImageRenderUnit::defaultImageRenderUnitWithDelegate<QTZImageGradientUnit>(nullptr);
//     unit->setInputGradientType(1);
//     unit->renderOutputImage();
//
// Compositions are found by identifier (compositionWithID): the application's resource of
// that name, else the composition repository, else the file of that name in the local
// domain's Library "Compositions" folder.
//
// Construction is two-phase: construct, then initWithComposition (the subclasses' renderer
// size is then theirs). Every render and input step catches NSException, logs it and leaves
// the previous results in place; other exceptions pass.
#pragma once

#include <QuartzComposer/QCComposition.h>
#include <QuartzComposer/QCRenderer.h>

#include <CoreGraphics/CGGeometry.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class QTZImageRenderUnit;

class QTZImageRenderUnitDelegate {
public:
    virtual ~QTZImageRenderUnitDelegate() = default;
    // Sets the renderer's inputs before a render; false stops the render.
    virtual bool qtzImageRenderUnit(QTZImageRenderUnit *unit, QCRenderer *renderer) = 0;
};

class QTZImageRenderUnit {
public:
    QTZImageRenderUnit() = default;
    // Clears the delegate, the composition and the renderer.
    virtual ~QTZImageRenderUnit();
    QTZImageRenderUnit(const QTZImageRenderUnit &) = delete;
    QTZImageRenderUnit &operator=(const QTZImageRenderUnit &) = delete;

    // The composition named `identifier`: the main bundle's resource of that name (its
    // extension replaced by "qtz"), else the shared repository's, else the file of that name
    // in the local domain's Library "Compositions" folder. Null when none opens, and for an
    // identifier that holds a "/" or a "..".
    static QCCompositionRef compositionWithID(const std::string &identifier);

    // Sets the delegate (not owned; may be null) and, with a composition, setComposition.
    void initWithComposition(QCCompositionRef composition, QTZImageRenderUnitDelegate *delegate = nullptr);

    // A unit of class T made from compositionWithID(identifier) (without renderer when
    // nothing was found).
    template <class T = QTZImageRenderUnit>
    static std::shared_ptr<T> imageFilterUnitWithCompositionID(const std::string &identifier) {
        auto unit = std::make_shared<T>();
        unit->initWithComposition(compositionWithID(identifier));
        return unit;
    }
    // A unit of class T with T's default composition and `delegate`.
    template <class T = QTZImageRenderUnit>
    static std::shared_ptr<T> defaultImageRenderUnitWithDelegate(QTZImageRenderUnitDelegate *delegate) {
        auto unit = std::make_shared<T>();
        unit->initWithComposition(compositionWithID(T::defaultCompositionID()), delegate);
        return unit;
    }

    // "nothing.qtz".
    static std::string defaultCompositionID() { return "nothing.qtz"; }
    // 640 x 480.
    static CGSize offscreenRendererSizePixels() { return CGSizeMake(640, 480); }
    // The size of the class's offscreen renderer.
    virtual CGSize rendererSizePixels() const { return offscreenRendererSizePixels(); }

    // Keeps the composition; when it is not null, replaces the renderer by an offscreen one
    // of rendererSizePixels() playing it (none, logged, when it cannot be made). Null keeps
    // the old renderer.
    void setComposition(QCCompositionRef composition);
    // True, or the delegate's answer; false (logged) when an NSException is raised.
    virtual bool setRendererInputs();

    QTZImageRenderUnitDelegate *delegate() const { return mDelegate.load(); }
    void setDelegate(QTZImageRenderUnitDelegate *delegate) { mDelegate = delegate; }

    // ---- Properties (each read and written atomically) -------------------------------------

    QCCompositionRef qccomposition() const;
    void setQccomposition(QCCompositionRef composition);
    std::shared_ptr<QCRenderer> qcrenderer() const;
    void setQcrenderer(std::shared_ptr<QCRenderer> renderer);
    QCCompositionRef composition() const { return qccomposition(); }
    std::shared_ptr<QCRenderer> renderer() const { return qcrenderer(); }

protected:
    mutable std::mutex mPropertyLock;  // guards the properties of this class and its subclasses

private:
    std::atomic<QTZImageRenderUnitDelegate *> mDelegate{nullptr};
    QCCompositionRef mComposition;
    std::shared_ptr<QCRenderer> mRenderer;
};

bool import_QTZImageRenderUnit();
