// Draws the toolbar background picture: 160 x 12 pixels, a soft vertical gradient with a fine
// diagonal weave, saved as JPEG. The screens tile it behind their toolbars.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QImage image(160, 12, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 0, 12);
    gradient.setColorAt(0.0, QColor(0xf4, 0xf8, 0xfd));
    gradient.setColorAt(0.5, QColor(0xdc, 0xe8, 0xf6));
    gradient.setColorAt(1.0, QColor(0xc4, 0xd6, 0xee));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QColor(0xb8, 0xcc, 0xe6));
    for (int x = -12; x < 160; x += 8)
        painter.drawLine(x, 12, x + 12, 0);
    painter.end();
    return image.save(QString::fromLocal8Bit(argv[1]), "JPEG", 92) ? 0 : 1;
}
