#include <QCursor>
#include <QImage>
#include <QPixmap>

#include "platform/qt/qt_menu.h"

namespace kesu::platform::qt {

void ApplyCursorImage(QWidget* widget, const CursorImage& image) {
    if (!widget || image.width <= 0 || image.height <= 0 ||
        image.argb.size() != static_cast<std::size_t>(image.width) * image.height) {
        return;
    }
    QImage pixels(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            row[x] = image.argb[static_cast<std::size_t>(y) * image.width + x];
        }
    }
    widget->setCursor(QCursor(QPixmap::fromImage(pixels), image.hot_x, image.hot_y));
}

}  // namespace kesu::platform::qt
