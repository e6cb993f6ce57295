#include "shell/ShellIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace torvex {

namespace {

constexpr int kSize = 16;

QPixmap Blank() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawFolder(QPainter& p, bool open) {
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 2, 5, 2);
    if (open) {
        p.setBrush(QColor(255, 225, 130));
        QPolygon flap;
        flap << QPoint(3, 7) << QPoint(15, 7) << QPoint(13, 14) << QPoint(1, 14);
        p.drawPolygon(flap);
    }
}

void DrawPage(QPainter& p) {
    p.setPen(QColor(90, 90, 110));
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 10, 14);
    p.setPen(QColor(120, 140, 200));
    for (int y = 4; y <= 11; y += 3) {
        p.drawLine(5, y, 11, y);
    }
}

void DrawBadge(QPainter& p, const QColor& color) {
    p.setPen(color.darker(150));
    p.setBrush(color);
    p.drawEllipse(QPoint(11, 11), 4, 4);
}

} // namespace

QIcon NodeKindIcon(NodeKind kind) {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case NodeKind::RootCollapsed:
    case NodeKind::RootExpanded:
        p.setPen(QColor(30, 80, 160));
        p.setBrush(QColor(90, 150, 230));
        p.drawEllipse(1, 1, 14, 14);
        p.setPen(QColor(230, 240, 255));
        p.drawLine(1, 8, 15, 8);
        p.drawEllipse(5, 1, 6, 14);
        break;
    case NodeKind::FolderCollapsed:
        DrawFolder(p, false);
        break;
    case NodeKind::FolderExpanded:
        DrawFolder(p, true);
        break;
    case NodeKind::ProjectIdle:
        DrawPage(p);
        break;
    case NodeKind::ProjectRunning:
        DrawPage(p);
        {
            p.setPen(QColor(20, 110, 30));
            p.setBrush(QColor(60, 190, 70));
            QPolygon arrow;
            arrow << QPoint(7, 7) << QPoint(15, 11) << QPoint(7, 15);
            p.drawPolygon(arrow);
        }
        break;
    case NodeKind::ProjectWaiting:
        DrawPage(p);
        DrawBadge(p, QColor(240, 180, 40));
        break;
    case NodeKind::ProjectOnTimer:
        DrawPage(p);
        DrawBadge(p, QColor(120, 160, 230));
        p.setPen(Qt::black);
        p.drawLine(11, 11, 11, 8);
        p.drawLine(11, 11, 13, 11);
        break;
    }
    return QIcon(pixmap);
}

QIcon RecordStateIcon(int image) {
    static const QColor colours[] = {
        QColor(60, 190, 70),   // 0 running
        QColor(240, 180, 40),  // 1 stopped
        QColor(70, 130, 220),  // 2 finished
        QColor(160, 110, 220), // 3 ended by a limit
        QColor(220, 60, 50),   // 4 ended by an error
        QColor(170, 170, 170), // 5 unknown
    };
    if (image < 0 || image > 5) {
        image = 5;
    }
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = colours[image];
    p.setPen(colour.darker(150));
    p.setBrush(colour);
    p.drawEllipse(3, 3, 10, 10);
    return QIcon(pixmap);
}

} // namespace torvex
