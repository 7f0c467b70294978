#include "Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace velmora {

namespace {

using Drawing = std::function<void(QPainter&)>;

QIcon Draw(int size, const Drawing& drawing) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing(painter);
    painter.end();
    return QIcon(pixmap);
}

const QColor kOutline(60, 60, 60);
const QColor kFolder(236, 190, 80);
const QColor kFolderDark(190, 140, 40);
const QColor kDatabase(70, 130, 200);
const QColor kTableHeader(60, 110, 190);
const QColor kViewHeader(60, 160, 90);
const QColor kKey(200, 160, 20);

// A database cylinder inside the rectangle.
void Cylinder(QPainter& p, QRectF r, const QColor& fill) {
    const qreal lid = r.height() / 4;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + lid / 2);
    body.lineTo(r.left(), r.bottom() - lid / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - lid, r.width(), lid), 180, 180);
    body.lineTo(r.right(), r.top() + lid / 2);
    body.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(fill);
    p.drawPath(body);
    p.setBrush(fill.lighter(140));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), lid));
}

// A small grid: header row in `header`, white cells.
void Grid(QPainter& p, QRectF r, const QColor& header, bool dashed = false) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setBrush(header);
    p.drawRect(QRectF(r.left(), r.top(), r.width(), r.height() / 4));
    QPen line(QColor(150, 150, 150), 1, dashed ? Qt::DotLine : Qt::SolidLine);
    p.setPen(line);
    for (int i = 2; i <= 3; ++i) {
        const qreal y = r.top() + r.height() * i / 4;
        p.drawLine(QPointF(r.left() + 1, y), QPointF(r.right() - 1, y));
    }
    const qreal x = r.left() + r.width() / 2;
    p.drawLine(QPointF(x, r.top() + r.height() / 4 + 1), QPointF(x, r.bottom() - 1));
}

void Folder(QPainter& p, QRectF r) {
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 2);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + 2);
    path.lineTo(r.left() + r.width() * 0.5, r.top() + 4);
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kFolderDark, 1));
    p.setBrush(kFolder);
    p.drawPath(path);
}

void Key(QPainter& p, QPointF ring, qreal scale, const QColor& colour) {
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawEllipse(ring, 2.5 * scale, 2.5 * scale);
    p.setPen(QPen(colour.darker(140), 1.6 * scale));
    const QPointF end = ring + QPointF(7 * scale, 0);
    p.drawLine(ring + QPointF(2.5 * scale, 0), end);
    p.drawLine(end, end + QPointF(0, 2 * scale));
    p.drawLine(end - QPointF(2 * scale, 0), end - QPointF(2 * scale, -2 * scale));
}

void Server(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    for (int i = 0; i < 3; ++i) {
        QRectF unit(2.5, 1.5 + i * 4.5, 11, 4);
        p.setBrush(QColor(170, 180, 195));
        p.drawRect(unit);
        p.setBrush(QColor(60, 200, 80));
        p.drawEllipse(QPointF(11, unit.center().y()), 0.9, 0.9);
    }
    p.drawLine(QPointF(8, 15), QPointF(8, 15.5));
}

void Column(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(235, 240, 250));
    p.drawRect(QRectF(4.5, 1.5, 7, 13));
    p.setBrush(kTableHeader);
    p.drawRect(QRectF(4.5, 1.5, 7, 3));
}

// A routine, trigger or event: a rounded card with its letter.
void Badge(QPainter& p, QRectF r, const QColor& fill, const QString& letter) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 2, 2);
    QFont font = p.font();
    font.setPixelSize(static_cast<int>(r.height() * 0.8));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, letter);
}

const QColor kProcedure(130, 90, 170);
const QColor kFunction(40, 140, 150);
const QColor kTrigger(200, 100, 40);
const QColor kEvent(120, 120, 120);

void DrawProgrammable(QPainter& p, int kind) {
    static const struct { QColor colour; const char* letter; } kinds[] = {
        {kProcedure, "P"}, {kFunction, "f"}, {kTrigger, "T"}, {kEvent, "E"}};
    const int index = (kind - 10) / 2;
    if (index < 0 || index > 3) return;
    if (kind % 2 == 0) {
        Folder(p, QRectF(0.5, 1.5, 14, 12));
        Badge(p, QRectF(6.5, 6.5, 9, 9), kinds[index].colour, kinds[index].letter);
    } else {
        Badge(p, QRectF(2.5, 2.5, 11, 11), kinds[index].colour, kinds[index].letter);
    }
}

void DrawNode(QPainter& p, int kind) {
    switch (kind) {
        case 0: Server(p); break;
        case 1: Cylinder(p, QRectF(2.5, 1.5, 11, 13), kDatabase); break;
        case 2: Grid(p, QRectF(1.5, 2.5, 13, 11), kTableHeader); break;
        case 3: Folder(p, QRectF(0.5, 1.5, 14, 12)); Grid(p, QRectF(6.5, 7.5, 9, 8), kTableHeader); break;
        case 5: Folder(p, QRectF(0.5, 1.5, 14, 12)); break;
        case 6: Key(p, QPointF(4.5, 8), 1.2, kKey); break;
        case 7: Folder(p, QRectF(0.5, 1.5, 14, 12)); Key(p, QPointF(8.5, 11), 0.8, kKey); break;
        case 8: Grid(p, QRectF(1.5, 2.5, 13, 11), kViewHeader, true); break;
        case 9: Folder(p, QRectF(0.5, 1.5, 14, 12)); Grid(p, QRectF(6.5, 7.5, 9, 8), kViewHeader, true); break;
        case 10: case 11: case 12: case 13: case 14: case 15: case 16: case 17:
            DrawProgrammable(p, kind);
            break;
        default: Column(p); break;
    }
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    QLineF shaft(to, from);
    QLineF wing1 = shaft;
    wing1.setLength(width * 2.6);
    wing1.setAngle(shaft.angle() + 35);
    QLineF wing2 = shaft;
    wing2.setLength(width * 2.6);
    wing2.setAngle(shaft.angle() - 35);
    p.drawLine(wing1);
    p.drawLine(wing2);
}

void DrawTool(QPainter& p, ToolPicture picture) {
    switch (picture) {
        case ToolPicture::Configure: {
            p.setPen(QPen(kOutline, 1));
            p.setBrush(QColor(150, 160, 175));
            QPainterPath gear;
            for (int i = 0; i < 8; ++i) {
                QTransform t;
                t.translate(12, 12);
                t.rotate(i * 45);
                gear.addPolygon(t.map(QPolygonF(QRectF(-2, -10.5, 4, 5))));
            }
            gear.addEllipse(QPointF(12, 12), 7.5, 7.5);
            p.drawPath(gear.simplified());
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(12, 12), 3, 3);
            break;
        }
        case ToolPicture::Connect:
            Cylinder(p, QRectF(1.5, 5.5, 8, 13), kDatabase);
            Cylinder(p, QRectF(14.5, 5.5, 8, 13), QColor(200, 80, 70));
            p.setPen(QPen(QColor(40, 150, 60), 2.2));
            p.drawLine(QPointF(9.5, 12), QPointF(14.5, 12));
            break;
        case ToolPicture::Migrate:
            Cylinder(p, QRectF(1.5, 3.5, 8, 11), kDatabase);
            Cylinder(p, QRectF(14.5, 9.5, 8, 11), QColor(200, 80, 70));
            Arrow(p, QPointF(6, 18), QPointF(13.5, 18), QColor(40, 150, 60), 2);
            break;
        case ToolPicture::Delete:
            p.setPen(QPen(QColor(210, 40, 40), 3.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(6, 6), QPointF(18, 18));
            p.drawLine(QPointF(18, 6), QPointF(6, 18));
            break;
        case ToolPicture::Backup:
            p.setPen(QPen(kOutline, 1));
            p.setBrush(QColor(70, 90, 160));
            p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 2, 2);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(7.5, 3.5, 9, 6));
            p.setBrush(QColor(200, 205, 215));
            p.drawRect(QRectF(6.5, 13.5, 11, 7));
            break;
    }
}

void DrawTask(QPainter& p, TaskPicture picture) {
    const QColor ink(40, 80, 150);
    switch (picture) {
        case TaskPicture::ClearAll: {
            p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 150 * 16);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 210 * 16, 150 * 16);
            p.setBrush(ink);
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(1, 6.5), QPointF(5.5, 6.5), QPointF(3, 10)}));
            p.drawPolygon(QPolygonF({QPointF(15, 9.5), QPointF(10.5, 9.5), QPointF(13, 6)}));
            break;
        }
        case TaskPicture::Remove:
            p.setPen(QPen(QColor(200, 40, 40), 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
            break;
        case TaskPicture::Down: Arrow(p, QPointF(8, 2.5), QPointF(8, 13.5), ink, 1.8); break;
        case TaskPicture::Up: Arrow(p, QPointF(8, 13.5), QPointF(8, 2.5), ink, 1.8); break;
        case TaskPicture::Play:
            p.setPen(QPen(QColor(30, 120, 50), 1));
            p.setBrush(QColor(60, 170, 80));
            p.drawPolygon(QPolygonF({QPointF(4, 2.5), QPointF(13, 8), QPointF(4, 13.5)}));
            break;
        case TaskPicture::Pause:
            p.setPen(QPen(QColor(140, 90, 10), 1));
            p.setBrush(QColor(230, 160, 30));
            p.drawRect(QRectF(3.5, 2.5, 3.5, 11));
            p.drawRect(QRectF(9, 2.5, 3.5, 11));
            break;
    }
}

}  // namespace

QIcon NodePicture(int kind) {
    return Draw(16, [kind](QPainter& p) { DrawNode(p, kind); });
}

QIcon ToolBarPicture(ToolPicture picture) {
    return Draw(24, [picture](QPainter& p) { DrawTool(p, picture); });
}

QIcon TaskBarPicture(TaskPicture picture) {
    return Draw(16, [picture](QPainter& p) { DrawTask(p, picture); });
}

QIcon WindowPicture() {
    return Draw(32, [](QPainter& p) {
        Cylinder(p, QRectF(1.5, 4.5, 12, 20), kDatabase);
        Cylinder(p, QRectF(18.5, 7.5, 12, 20), QColor(200, 80, 70));
        Arrow(p, QPointF(9, 28), QPointF(17, 28), QColor(40, 150, 60), 2.2);
    });
}

}  // namespace velmora
