#include "window/program_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace lorvex {

QIcon ProgramIcon() {
    // Rendered here rather than through the SVG icon-engine plugin, which a
    // deployment may lack. Not cached: a pixmap must not outlive the
    // application object, and the icon is drawn only when a window opens.
    QSvgRenderer renderer(QStringLiteral(":/icons/lorvex.svg"));
    QIcon result;
    for (const int size : {16, 20, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

}  // namespace lorvex
