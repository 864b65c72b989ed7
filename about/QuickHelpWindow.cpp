// The quick-help window's layout and its two-colour title banner.

#include "about/QuickHelpWindow.h"

#include "about/AboutTexts.h"
#include "platform/AppIcon.h"
#include "platform/Twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace orvel {

namespace {

const QColor kBannerInitial(0, 0, 255);
const QColor kBannerRest(255, 0, 0);

QFont bannerFont(qreal points)
{
    // Where the named face is missing, a metric-alike or the system's serif stands in.
    QFont f;
    f.setFamilies(
        {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    f.setStyleHint(QFont::Serif);
    f.setPointSizeF(points);
    return f;
}

// The face the window's text was laid out for; the help text wraps less with it.
QFont windowFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8.25);
    return f;
}

// The title as one text: its labels are the way it is drawn, not parts to visit.
class TitleBannerAccessible : public QAccessibleWidget {
public:
    explicit TitleBannerAccessible(TitleBanner* banner)
        : QAccessibleWidget(banner, QAccessible::StaticText)
    {
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
};

QAccessibleInterface* titleBannerInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String(TitleBanner::staticMetaObject.className()) && object && object->isWidgetType())
        return new TitleBannerAccessible(static_cast<TitleBanner*>(object));
    return nullptr;
}

} // namespace

QuickHelpWindow::QuickHelpWindow(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmhelp"));
    setWindowTitle(QStringLiteral("Quick Help"));
    setWindowIcon(ApplicationIcon());
    setFixedSize(twipsSize(5565, 6495));
    setModal(false);
    setFont(windowFont());

    buildTitleBanner();

    auto* version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setGeometry(twipsRect(240, 960, 2400, 255));
    auto* date = new QLabel(ReleaseDateText(), this);
    date->setObjectName(QStringLiteral("lblDate"));
    date->setGeometry(twipsRect(240, 1215, 2400, 255));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ApplicationIcon32());
    Image1->setAccessibleName(ApplicationTitle());
    Image1->setGeometry(twipsRect(4800, 840, 480, 480));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(120, 1560, 5325, 4260));
    Text1->setReadOnly(true);
    Text1->setAccessibleName(QStringLiteral("Help text"));
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette pal = Text1->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    Text1->setPalette(pal);
    // The widget keeps lines apart by itself; a CR left in would show as a glyph.
    Text1->setPlainText(HelpTextLines().join(u'\n') + u'\n');

    cmdCLOSE = new QPushButton(QStringLiteral("Ok"), this);
    cmdCLOSE->setObjectName(QStringLiteral("cmdCLOSE"));
    cmdCLOSE->setGeometry(twipsRect(2100, 5940, 1365, 375));
    cmdCLOSE->setDefault(true);
    connect(cmdCLOSE, &QPushButton::clicked, this, &QDialog::close);
}

void QuickHelpWindow::buildTitleBanner()
{
    // Each word of the title in two labels: a large blue initial and the rest of
    // the word smaller in red, all standing on one baseline.
    const QFont big = bannerFont(26.25);
    const QFont small = bannerFont(14.25);
    const QFontMetrics bigMetrics(big);
    const QFontMetrics smallMetrics(small);
    QAccessible::installFactory(titleBannerInterface); // kept once, however often installed
    auto* banner = new TitleBanner(this);
    banner->setObjectName(QStringLiteral("lblTitle"));
    banner->setAccessibleName(ApplicationTitle());
    const int baseline = twipsToPixels(120) + bigMetrics.ascent();
    banner->setGeometry(0, 0, width(), baseline + bigMetrics.descent() + 1);
    int x = twipsToPixels(240);
    int index = 0;
    for (const QString& word : ApplicationTitle().split(u' ')) {
        const struct {
            QString text;
            const QFont& font;
            const QFontMetrics& metrics;
            QColor colour;
        } parts[] = {
            {word.left(1), big, bigMetrics, kBannerInitial},
            {word.mid(1), small, smallMetrics, kBannerRest},
        };
        for (const auto& part : parts) {
            auto* label = new QLabel(part.text, banner);
            label->setObjectName(QStringLiteral("lblTitle%1").arg(index++));
            label->setFont(part.font);
            QPalette pal = label->palette();
            pal.setColor(QPalette::WindowText, part.colour);
            label->setPalette(pal);
            label->setContentsMargins(0, 0, 0, 0);
            const int w = part.metrics.horizontalAdvance(part.text) + 1;
            label->setGeometry(x, baseline - part.metrics.ascent(), w, part.metrics.height());
            x += w;
        }
        x += smallMetrics.horizontalAdvance(u' ');
    }
}

} // namespace orvel
