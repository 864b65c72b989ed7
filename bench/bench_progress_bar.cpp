// Cost of one Value assignment on a shown progress bar of the main window's size,
// driven over a range of 100 000 as a long rename run drives it. Painting happens
// only when the bar's length or the percentage changes, so the mean stays small.
#include "progress_bar/MProgress.h"
#include "progress_bar/PictureSurface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace {

class PaintCounter : public QObject {
public:
    long count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(380, 40);
    auto* bar = new orvel::MProgress(&window);
    bar->setGeometry(8, 8, 353, 17); // 5295 x 255 twips
    window.show();
    QElapsedTimer wait;
    wait.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && wait.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    constexpr int Count = 100000;
    bar->setMax(Count);

    // One pass to warm the font and image caches, then the measured pass.
    for (int v = 1; v <= Count; v += 97)
        bar->setValue(v);
    bar->setValue(0);
    QApplication::processEvents();

    PaintCounter paints;
    bar->BG()->installEventFilter(&paints);
    QElapsedTimer timer;
    timer.start();
    for (int v = 1; v <= Count; ++v)
        bar->setValue(v);
    const qint64 ns = timer.nsecsElapsed();

    std::printf("progress_value_us %.3f\n", static_cast<double>(ns) / 1000.0 / Count);
    std::printf("progress_value_repaints %ld\n", paints.count);
    return 0;
}
