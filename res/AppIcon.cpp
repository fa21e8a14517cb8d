#include "res/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon CreateAppIcon()
{
    QSvgRenderer renderer(QStringLiteral(":/ondrel.svg"));
    if (!renderer.isValid())
        return QIcon();

    // Rendering each size from the vector picture, rather than scaling one
    // large bitmap down, keeps the small sizes sharp.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
