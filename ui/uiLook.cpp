#include "ui/uiLook.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>

namespace {

QFont makeFont(const QStringList& families, QFont::StyleHint hint, double pointSize, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QFont gothicFont(double pointSize, bool bold)
{
    return makeFont({"IPAexGothic", "IPAPGothic", "Noto Sans CJK JP"}, QFont::SansSerif, pointSize, bold);
}

QFont gothicFixedFont(double pointSize, bool bold)
{
    return makeFont({"IPAGothic", "IPAexGothic", "Noto Sans Mono CJK JP"}, QFont::Monospace, pointSize, bold);
}

QFont titleFont(double pointSize, bool bold)
{
    return makeFont({"Arial", "Liberation Sans", "DejaVu Sans"}, QFont::SansSerif, pointSize, bold);
}

QPixmap documentPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0); // drawn on a 64 x 64 grid

    // The page, its corner folded over.
    QPainterPath page;
    page.moveTo(12, 4);
    page.lineTo(42, 4);
    page.lineTo(54, 16);
    page.lineTo(54, 60);
    page.lineTo(12, 60);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.5));
    p.setBrush(Qt::white);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(42, 4);
    fold.lineTo(42, 16);
    fold.lineTo(54, 16);
    fold.closeSubpath();
    p.setBrush(QColor(0xD8, 0xD8, 0xD8));
    p.drawPath(fold);

    // Lines of text.
    p.setPen(QPen(QColor(0x40, 0x60, 0xA0), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int y = 24; y <= 40; y += 8)
        p.drawLine(QPointF(18, y), QPointF(y == 24 ? 36 : 48, y));

    // The "PDF" band across the foot of the page.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC8, 0x20, 0x20));
    p.drawRoundedRect(QRectF(6, 44, 40, 13), 2, 2);
    QFont font = titleFont(7, true);
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(6, 44, 40, 13), Qt::AlignCenter, QStringLiteral("PDF"));
    return pixmap;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(documentPicture(size));
    return icon;
}

Qt::WindowFlags fixedBorderFlags(Qt::WindowType kind)
{
    return kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
           Qt::MSWindowsFixedSizeDialogHint;
}

void centreOver(QWidget& window, const QWidget* anchor)
{
    const bool overAnchor = anchor && anchor->isVisible();
    QScreen* screen = overAnchor ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect over = overAnchor ? anchor->frameGeometry() : area;
    QRect placed(QPoint(0, 0), window.frameGeometry().size());
    placed.moveCenter(over.center());
    placed.moveLeft(qBound(area.left(), placed.left(), qMax(area.left(), area.right() - placed.width())));
    placed.moveTop(qBound(area.top(), placed.top(), qMax(area.top(), area.bottom() - placed.height())));
    window.move(placed.topLeft());
}
