#include "ui/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

#include "document/CommandIds.h"
#include "ui/CommandTexts.h"

namespace kinovela::ui {

namespace {

constexpr int kWidth = 16, kHeight = 15;
const QColor kInk(40, 40, 40);
const QColor kBlue(40, 90, 190);
const QColor kGreen(30, 140, 60);
const QColor kRed(200, 50, 40);
const QColor kGold(220, 170, 30);

void Triangle(QPainter& p, qreal x, qreal y, qreal w, qreal h, bool right)
{
    QPolygonF t;
    if (right)
        t << QPointF(x, y) << QPointF(x + w, y + h / 2) << QPointF(x, y + h);
    else
        t << QPointF(x + w, y) << QPointF(x, y + h / 2) << QPointF(x + w, y + h);
    p.drawPolygon(t);
}

void Diamond(QPainter& p, qreal cx, qreal cy, qreal r)
{
    QPolygonF d;
    d << QPointF(cx, cy - r) << QPointF(cx + r, cy) << QPointF(cx, cy + r) << QPointF(cx - r, cy);
    p.drawPolygon(d);
}

void Sign(QPainter& p, qreal cx, qreal cy, bool plus, const QColor& c)
{
    p.setPen(QPen(c, 1.6));
    p.drawLine(QPointF(cx - 2.5, cy), QPointF(cx + 2.5, cy));
    if (plus) p.drawLine(QPointF(cx, cy - 2.5), QPointF(cx, cy + 2.5));
}

void Arrow(QPainter& p, QPointF from, QPointF to)
{
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::max(1.0, std::hypot(d.x(), d.y()));
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head;
    head << to << to - u * 3 + n * 2 << to - u * 3 - n * 2;
    p.setBrush(p.pen().color());
    p.drawPolygon(head);
}

void Cube(QPainter& p, const QColor& c)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(c.lighter(130));
    p.drawPolygon(QPolygonF() << QPointF(3, 5) << QPointF(7, 2) << QPointF(13, 2) << QPointF(9, 5));
    p.setBrush(c);
    p.drawRect(QRectF(3, 5, 6, 7));
    p.setBrush(c.darker(130));
    p.drawPolygon(QPolygonF() << QPointF(9, 5) << QPointF(13, 2) << QPointF(13, 9) << QPointF(9, 12));
}

// The corners of a viewfinder around the middle of the picture.
void Brackets(QPainter& p)
{
    p.setPen(QPen(kInk, 1.2));
    const qreal l = 1.5, t = 1.5, r = 14.5, b = 13.5, k = 3.5;
    for (const auto& [x, y, dx, dy] : {std::array<qreal, 4>{l, t, 1, 1}, {r, t, -1, 1}, {l, b, 1, -1}, {r, b, -1, -1}}) {
        p.drawLine(QPointF(x, y), QPointF(x + dx * k, y));
        p.drawLine(QPointF(x, y), QPointF(x, y + dy * k));
    }
}

// A strip of frames, the common base of the frame commands.
void Frames(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(QRectF(1.5, 4.5, 9, 7));
    p.drawLine(QPointF(4.5, 4.5), QPointF(4.5, 11.5));
    p.drawLine(QPointF(7.5, 4.5), QPointF(7.5, 11.5));
}

void Draw(QPainter& p, int id)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::NoBrush);
    switch (id) {
    case ID_FILE_NEW:
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF() << QPointF(3.5, 1.5) << QPointF(9.5, 1.5) << QPointF(12.5, 4.5)
                                  << QPointF(12.5, 13.5) << QPointF(3.5, 13.5));
        p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
        p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
        break;
    case ID_FILE_OPEN:
        p.setBrush(kGold);
        p.drawRect(QRectF(1.5, 4.5, 11, 8));
        p.setBrush(kGold.lighter(130));
        p.drawPolygon(QPolygonF() << QPointF(3.5, 7.5) << QPointF(14.5, 7.5) << QPointF(12.5, 12.5)
                                  << QPointF(1.5, 12.5));
        break;
    case ID_FILE_SAVE_AS:
        p.setBrush(kBlue);
        p.drawRect(QRectF(2.5, 1.5, 11, 12));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(5.5, 9.5, 5, 4));
        break;
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO: {
        const bool undo = id == ID_EDIT_UNDO;
        p.setPen(QPen(kBlue, 1.8));
        QPainterPath path;
        path.moveTo(undo ? 4 : 12, 6);
        path.cubicTo(undo ? 9 : 7, 2, undo ? 15 : 1, 6, undo ? 11 : 5, 13);
        p.drawPath(path);
        p.setPen(QPen(kBlue, 1));
        p.setBrush(kBlue);
        Triangle(p, undo ? 1 : 11, 3, 4, 6, !undo);
        break;
    }
    case ID_MOUSE_CAMERA:
        p.setBrush(QColor(70, 70, 70));
        p.drawRect(QRectF(1.5, 5.5, 9, 6));
        p.drawPolygon(QPolygonF() << QPointF(10.5, 7.5) << QPointF(14.5, 5.5) << QPointF(14.5, 11.5)
                                  << QPointF(10.5, 9.5));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(4, 3.5), 2, 2);
        p.drawEllipse(QPointF(8, 3.5), 2, 2);
        break;
    case ID_MOUSE_MODEL: Cube(p, QColor(230, 140, 50)); break;
    case ID_MODE_MOVE:
        p.setPen(QPen(kGreen, 1.3));
        Arrow(p, QPointF(8, 7.5), QPointF(14.5, 7.5));
        Arrow(p, QPointF(8, 7.5), QPointF(1.5, 7.5));
        Arrow(p, QPointF(8, 7.5), QPointF(8, 1));
        Arrow(p, QPointF(8, 7.5), QPointF(8, 14));
        break;
    case ID_MODE_ROTATE: {
        p.setPen(QPen(kGreen, 1.8));
        p.drawArc(QRectF(2.5, 2, 11, 11), 60 * 16, 270 * 16);
        p.setPen(QPen(kGreen, 1));
        p.setBrush(kGreen);
        Triangle(p, 9.5, 0.5, 5, 5, true);
        break;
    }
    case ID_MODE_SCALE:
        p.setPen(QPen(kInk, 1, Qt::DotLine));
        p.drawRect(QRectF(1.5, 1.5, 7, 6));
        p.setPen(QPen(kGreen, 1.3));
        p.drawRect(QRectF(1.5, 1.5, 13, 12));
        Arrow(p, QPointF(5, 5), QPointF(12, 11));
        break;
    case ID_SMOOTH: {
        QRadialGradient g(QPointF(6, 5), 8);
        g.setColorAt(0, Qt::white);
        g.setColorAt(1, kBlue);
        p.setBrush(g);
        p.drawEllipse(QRectF(1.5, 1, 13, 13));
        break;
    }
    case ID_RENDER_OPENGL:
    case ID_RENDER_DIRECTX: {
        QFont f;
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.setPen(id == ID_RENDER_OPENGL ? kRed : kBlue);
        p.drawText(QRectF(0, 0, kWidth, kHeight), Qt::AlignCenter, id == ID_RENDER_OPENGL ? "GL" : "DX");
        break;
    }
    case ID_FIRST_FRAME:
    case ID_LAST_FRAME: {
        const bool first = id == ID_FIRST_FRAME;
        p.setBrush(kInk);
        p.drawRect(QRectF(first ? 2 : 12, 3, 2, 9));
        Triangle(p, first ? 5 : 4, 3, 7, 9, !first);
        break;
    }
    case ID_PREV_KEY:
    case ID_NEXT_KEY: {
        const bool next = id == ID_NEXT_KEY;
        p.setBrush(kGold);
        Diamond(p, next ? 4.5 : 11.5, 7.5, 3.5);
        p.setBrush(kInk);
        Triangle(p, next ? 9 : 1, 3.5, 6, 8, next);
        break;
    }
    case ID_PREV_FRAME:
    case ID_NEXT_FRAME:
        p.setBrush(kInk);
        Triangle(p, 4, 3, 7, 9, id == ID_NEXT_FRAME);
        break;
    case ID_STOP:
        p.setBrush(kInk);
        p.drawRect(QRectF(3.5, 3.5, 8, 8));
        break;
    case ID_PLAY:
        p.setPen(QPen(kGreen.darker(130), 1));
        p.setBrush(kGreen);
        Triangle(p, 4, 2, 9, 11, true);
        break;
    case ID_KEY_DIALOG:
        p.setBrush(kGold);
        Diamond(p, 6, 7.5, 4.5);
        p.setPen(QPen(kInk, 1));
        for (int i = 0; i < 3; ++i) p.drawPoint(QPointF(11.5 + 1.5 * i, 12.5));
        break;
    case ID_KEY_ADD:
    case ID_KEY_DELETE:
        p.setBrush(kGold);
        Diamond(p, 6, 7.5, 4.5);
        Sign(p, 12.5, 3.5, id == ID_KEY_ADD, id == ID_KEY_ADD ? kGreen : kRed);
        break;
    case ID_KEY_ADD_ALL:
    case ID_KEY_DELETE_ALL:
        p.setBrush(kGold.darker(115));
        Diamond(p, 4.5, 8.5, 3.5);
        p.setBrush(kGold);
        Diamond(p, 8.5, 8.5, 3.5);
        Sign(p, 12.5, 3.5, id == ID_KEY_ADD_ALL, id == ID_KEY_ADD_ALL ? kGreen : kRed);
        break;
    case ID_AUTO_KEY:
        // A record button with a key in it.
        p.setPen(QPen(kRed.darker(130), 1));
        p.setBrush(kRed);
        p.drawEllipse(QRectF(1.5, 1, 13, 13));
        p.setPen(QPen(kInk, 1));
        p.setBrush(kGold);
        Diamond(p, 8, 7.5, 3.5);
        break;
    case ID_FRAME_ALL:
        Brackets(p);
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(230, 140, 50));
        p.drawRect(QRectF(4.5, 7.5, 3, 3));
        p.setBrush(kBlue.lighter(140));
        p.drawRect(QRectF(8.5, 4.5, 3, 6));
        break;
    case ID_FRAME_SELECTED:
        Brackets(p);
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(230, 140, 50));
        p.drawRect(QRectF(5.5, 4.5, 5, 5));
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(4.5, 3.5, 7, 7));
        break;
    case ID_INSERT_FRAMES:
    case ID_DELETE_FRAMES:
        Frames(p);
        Sign(p, 12.5, 3.5, id == ID_INSERT_FRAMES, id == ID_INSERT_FRAMES ? kGreen : kRed);
        break;
    default: break;
    }
}

}  // namespace

QIcon ToolIcon(int id)
{
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        Draw(p, id);
    }
    // Commands without a picture draw nothing.
    const QImage image = pixmap.toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) return QIcon(pixmap);
    return QIcon();
}

}  // namespace kinovela::ui
