// Draws the glyphs of the main window's buttons and the program icon at build time, so that the
// pictures live in the repository as code and are bundled into the program as PNG files.
//
//     vr620-paint-icons <output folder>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kSize = 48;
constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128};
const QColor kOutline(0x1f, 0x3a, 0x5f);
const QColor kFill(0x4a, 0x86, 0xc8);
const QColor kLight(0xe8, 0xf0, 0xfa);
const QColor kAccent(0xe0, 0x8a, 0x1e);

QPen Outline(qreal width = 2.5) {
    return QPen(kOutline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A plug on its cable: the connection settings.
void PaintConnection(QPainter& p) {
    p.setPen(Outline());
    p.setBrush(kLight);
    p.drawRoundedRect(QRectF(16.5, 4, 4, 12), 1.5, 1.5);
    p.drawRoundedRect(QRectF(27.5, 4, 4, 12), 1.5, 1.5);
    p.setBrush(kFill);
    QPainterPath body;
    body.moveTo(11, 15);
    body.lineTo(37, 15);
    body.lineTo(37, 25);
    body.cubicTo(37, 32, 31, 35, 27, 35);
    body.lineTo(21, 35);
    body.cubicTo(17, 35, 11, 32, 11, 25);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(QPen(kAccent, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(18, 22), QPointF(30, 22));
    p.setPen(Outline(3.5));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(24, 35);
    cable.cubicTo(24, 42, 12, 40, 10, 46);
    p.drawPath(cable);
}

// A cog wheel: the configuration program.
void PaintConfigure(QPainter& p) {
    const QPointF centre(24, 24);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal angle = (i - 0.5) * M_PI / (teeth * 2);
        const qreal radius = (i % 4 == 0 || i % 4 == 1) ? 21 : 15.5;
        const QPointF point = centre + QPointF(qCos(angle) * radius, qSin(angle) * radius);
        if (i == 0) {
            gear.moveTo(point);
        } else {
            gear.lineTo(point);
        }
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 6.5, 6.5);
    p.setPen(Outline());
    p.setBrush(kFill);
    p.drawPath(gear.subtracted(hole));
}

// A clock face: the time programs.
void PaintTimePrograms(QPainter& p) {
    p.setPen(Outline(3));
    p.setBrush(kLight);
    p.drawEllipse(QPointF(24, 24), 19.5, 19.5);
    p.setPen(Outline(2));
    for (int i = 0; i < 12; ++i) {
        const qreal angle = i * M_PI / 6;
        const qreal inner = i % 3 == 0 ? 13.5 : 15.5;
        p.drawLine(QPointF(24 + qCos(angle) * inner, 24 + qSin(angle) * inner),
                   QPointF(24 + qCos(angle) * 17, 24 + qSin(angle) * 17));
    }
    p.setPen(QPen(kOutline, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 24), QPointF(24, 12));
    p.setPen(QPen(kAccent, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 24), QPointF(32, 29));
    p.setPen(Qt::NoPen);
    p.setBrush(kOutline);
    p.drawEllipse(QPointF(24, 24), 2.5, 2.5);
}

// Three sliders at different values: the set values.
void PaintSettings(QPainter& p) {
    const qreal knobs[] = {30, 14, 24};
    for (int i = 0; i < 3; ++i) {
        const qreal x = 11 + i * 13;
        p.setPen(QPen(kOutline, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, 6), QPointF(x, 42));
        p.setPen(Outline(2));
        p.setBrush(i == 1 ? kAccent : kFill);
        p.drawRoundedRect(QRectF(x - 5.5, knobs[i] - 4, 11, 8), 2, 2);
    }
}

// A monitor showing the line's signal: the program's own icon, in the window frames and the
// About box.
void PaintProgram(QPainter& p) {
    p.setPen(Outline());
    p.setBrush(kFill);
    p.drawRoundedRect(QRectF(3, 5, 42, 30), 3, 3);
    p.setBrush(kLight);
    p.drawRect(QRectF(8, 10, 32, 20));
    p.setPen(QPen(kAccent, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF pulse[] = {{11, 21}, {17, 21}, {20, 14}, {25, 27}, {28, 21}, {37, 21}};
    p.drawPolyline(pulse, 6);
    p.setPen(Outline());
    p.setBrush(kFill);
    p.drawRect(QRectF(20, 35, 8, 5));
    p.drawRoundedRect(QRectF(12, 40, 24, 5), 2, 2);
}

bool Save(const QString& folder, const char* name, const std::function<void(QPainter&)>& paint,
          int size = kSize) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(qreal(size) / kSize, qreal(size) / kSize);
        paint(painter);
    }
    const QString file = folder + "/" + QString::fromLatin1(name);
    if (!image.save(file, "PNG")) {
        std::fprintf(stderr, "vr620-paint-icons: cannot write %s\n", file.toLocal8Bit().data());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vr620-paint-icons <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = Save(folder, "connection_settings.png", PaintConnection) &&
              Save(folder, "configure.png", PaintConfigure) &&
              Save(folder, "time_programs.png", PaintTimePrograms) &&
              Save(folder, "settings.png", PaintSettings);
    // The program icon at the sizes that window frames, task bars and menus ask for.
    for (const int size : kProgramIconSizes) {
        const QByteArray name = "program_" + QByteArray::number(size) + ".png";
        ok = Save(folder, name.constData(), PaintProgram, size) && ok;
    }
    return ok ? 0 : 1;
}
