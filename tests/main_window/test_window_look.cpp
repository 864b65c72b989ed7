// How the main window looks on a Linux desktop: whole captions in the fixed
// rectangles (CTest runs this at 1x and at 2x), and readable text on a light and on a
// dark palette.

#include "platform/Contrast.h"
#include "tests/main_window/MainWindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

namespace {

// The width a caption needs: its text, and before it the check mark or the round
// option mark with the style's spacing.
qreal neededWidth(const QAbstractButton* b)
{
    const QStyle* s = b->style();
    const qreal text = QFontMetricsF(b->font()).size(Qt::TextShowMnemonic, b->text()).width();
    if (qobject_cast<const QRadioButton*>(b))
        return text + s->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, b) + s->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, b);
    if (qobject_cast<const QCheckBox*>(b))
        return text + s->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) + s->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
    return text + 2 * s->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
}

// Every text of the window against what it is drawn on, as "name: ratio" when below
// the minimum. A disabled button is meant to look inactive and is left out.
QStringList unreadable(const frmMain& w)
{
    QStringList low;
    for (const QWidget* c : w.findChildren<QWidget*>()) {
        if (!qobject_cast<const QLabel*>(c) && !qobject_cast<const QLineEdit*>(c)
            && !(qobject_cast<const QAbstractButton*>(c) && c->isEnabled()))
            continue;
        const auto group = c->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const double ratio = ContrastRatio(c->palette().color(group, c->foregroundRole()), c->palette().color(group, c->backgroundRole()));
        if (ratio < MinTextContrast)
            low << QStringLiteral("%1: %2").arg(c->objectName()).arg(ratio, 0, 'f', 2);
    }
    return low;
}

} // namespace

class TestWindowLook : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The 2x run must really draw at twice the scale.
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(qApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }

    void everyCaptionFitsItsControl()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        // Font configuration answers a missing family with a wider face; where a
        // face of Arial's widths is installed, that is the face drawn.
        if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
            QVERIFY2(QStringList({"Liberation Sans", "Arimo", "Arial"}).contains(QFontInfo(w.optCASES[1]->font()).family()),
                     qPrintable(QFontInfo(w.optCASES[1]->font()).family()));
        int measured = 0;
        for (const QAbstractButton* b : w.findChildren<QAbstractButton*>()) {
            if (b->text().isEmpty())
                continue;
            const qreal needed = neededWidth(b);
            const qreal height = qMax<qreal>(QFontMetricsF(b->font()).height(), b->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, b));
            QVERIFY2(needed <= b->width(), qPrintable(QStringLiteral("%1 needs %2, has %3").arg(b->objectName()).arg(needed).arg(b->width())));
            QVERIFY2(height <= b->height(), qPrintable(b->objectName()));
            ++measured;
        }
        for (const QLabel* l : w.findChildren<QLabel*>()) {
            if (l->text().isEmpty())
                continue;
            const int flags = int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
            const QRectF used = QFontMetricsF(l->font()).boundingRect(QRectF(l->contentsRect()), flags, l->text());
            QVERIFY2(QRectF(l->contentsRect()).contains(used), qPrintable(l->objectName()));
            ++measured;
        }
        QVERIFY(measured >= 14); // the options, boxes, buttons and labels were all found
    }

    void theCaseFrameRunsAboveItsFirstOption()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        // The frame's top line, looked for near its right end, where no option is.
        const QImage frame = w.Frame1->grab().toImage();
        const qreal scale = frame.devicePixelRatio();
        const int x = qRound((w.Frame1->width() - 8) * scale);
        int line = 0;
        while (line < frame.height() && frame.pixel(x, line) == frame.pixel(x, 0))
            ++line;
        QVERIFY2(line / scale < w.optCASES[0]->y(), qPrintable(QString::number(line / scale)));
    }

    void textIsReadableOnLightAndDarkPalettes()
    {
        const QPalette light = QApplication::style()->standardPalette();
        QApplication::setPalette(light);
        MainWindowFixture fx;
        frmMain& w = fx.open();
        QCOMPARE(unreadable(w), QStringList());
        // On the light palette the window's own colours are exactly its design's.
        QCOMPARE(w.lblStatus->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(w.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 192));
        QCOMPARE(w.txtDirectory->palette().color(QPalette::Base), QColor(224, 224, 224));

        // The desktop turns dark while the window is open, and back.
        QApplication::setPalette(QPalette(QColor(53, 53, 53)));
        QCOMPARE(unreadable(w), QStringList());
        QCOMPARE(w.lblStatus->palette().color(QPalette::WindowText).hue(), 240); // still blue
        QCOMPARE(w.Label1->palette().color(QPalette::WindowText).hue(), 240);
        QApplication::setPalette(light);
        QCOMPARE(w.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    }
};

QTEST_MAIN(TestWindowLook)
#include "test_window_look.moc"
