// Moving through the plane continuously: the wheel and a touchpad pinch zoom
// about the cursor, a middle-button drag (or a left drag with Space held)
// pans, the keys zoom and pan, and with Fit to window the picture follows
// the view's size. Each new view shows at once as a preview (the old
// picture moved or scaled) and is then computed in passes, coarse to fine.
// Inputs that come while a view is being prepared add up; a burst of them
// is one step of the history. The plane arithmetic is the engine's
// (view_navigation.h); this class only turns inputs into calls of it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointF>
#include <QSize>
#include <QTimer>
#include <functional>
#include <memory>

#include "generation.h"
#include "view_navigation.h"

namespace app {

class PictureView;

class ViewMotion : public QObject {
    Q_OBJECT
public:
    // Each wheel notch (120 eighths of a degree) zooms by this; with Ctrl by
    // the finer one. The keys + and - zoom by kKeyFactor.
    static constexpr double kNotchFactor = 1.4142135623730951;      // 2^(1/2)
    static constexpr double kFineNotchFactor = 1.0905077326652577;  // 2^(1/8)
    static constexpr double kKeyFactor = 2.0;
    // Inputs less than this apart are one burst: one history step.
    static constexpr int kBurstMilliseconds = 600;
    // A resize has settled when the view kept its size this long.
    static constexpr int kResizeSettleMilliseconds = 200;
    // While a pass runs, the picture is repainted at most this often (less
    // often where painting is slow); at the end of each pass always.
    static constexpr int kRepaintMilliseconds = 100;

    // What the window lends the motion.
    struct Host {
        // Whether a new view can be computed now (plug-in, a picture).
        std::function<bool()> canCompute;
        // Runs `prepare` between rows, then computes the view in passes;
        // `sameStep`: the history's current step becomes the new view.
        std::function<void(std::function<void()> prepare, bool sameStep)> computeView;
        // Generations started so far.
        std::function<int()> generationCount;
        // The view changed under the window's feet (status bar, selection).
        std::function<void()> viewChanged;
        // Whether a press picks the Julia constant (it does not pan then).
        std::function<bool()> picksJuliaConstant;
        // The window's pick: each new view becomes it, every digit kept.
        engine::ExactPick* pick = nullptr;
    };

    ViewMotion(engine::GenerationCore& core, PictureView& view, Host host, QObject* parent = nullptr);
    ~ViewMotion() override;

    // --- Inputs (positions in picture pixels of the view shown) ---
    void zoomAt(QPointF position, double factor);
    void zoomAboutCentre(double factor);
    // The content moves by `pixels` (right and down positive).
    void panBy(QPointF pixels);
    // The keys: a tenth of the picture in the arrow's direction.
    void panStep(int columns, int rows);

    bool fitToWindow() const;
    void setFitToWindow(bool on);

    bool dragging() const { return dragging_; }
    bool spaceHeld() const { return spaceHeld_; }

    // The window calls these: after each row or job taken in, and at the
    // start of every generation.
    void jobTaken();
    void generationStarted();

signals:
    void fitToWindowChanged(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The record's view at the size the next picture will have.
    QSize targetSize() const;
    TIterationContext targetRecord() const;
    // Where the picture shown (the last generation's) lies on the target's.
    engine::GridMapping shownToTarget() const;
    // Runs `change` on the record at the target size; keeps the result
    // only when it returns true.
    bool changeView(const std::function<bool(TIterationContext&, engine::ExactView&)>& change);
    // Shows the preview of the record's view and has it computed.
    void showAndCompute();
    void schedule();
    void prepareView();
    void onViewResized();
    bool startDrag(QObject* watched, QPointF at);
    QPointF toPicture(QObject* watched, QPointF at) const;
    void finishDrag(QPointF at, QObject* watched);

    engine::GenerationCore& core_;
    TIterationContext shown_{};  // the record and view of the picture shown
    engine::ExactView shownView_;
    PictureView& view_;
    Host host_;

    bool pending_ = false;       // a prepareView is queued
    bool pendingSameStep_ = false;
    QSize pendingSize_;          // with Fit to window: the size the view asks for
    QTimer settle_;
    QElapsedTimer lastInput_;
    int burstGeneration_ = -1;   // the generation our last view started
    bool ownStart_ = false;      // the next generation starts our view
    std::unique_ptr<imaging::Picture> spare_;
    QElapsedTimer lastRepaint_;

    bool spaceHeld_ = false;
    bool dragging_ = false;
    Qt::MouseButton dragButton_ = Qt::NoButton;
    QPointF dragStart_;  // picture pixels
    engine::GridMapping dragBase_;
};

}  // namespace app
