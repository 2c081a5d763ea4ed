#include "platform/qt/qt_painting.h"

#include <QGradient>
#include <algorithm>
#include <cmath>

#include "platform/qt/qt_control.h"

namespace kesu::platform::qt {

namespace {

// The colour at `t` (0 to 1) of a grading whose colours lie evenly spaced
// from 0 to 1; between two of them the channels run in a straight line.
QColor ColourAt(const std::vector<QColor>& grading, double t) {
    const double pos = std::clamp(t, 0.0, 1.0) * static_cast<double>(grading.size() - 1);
    const auto i = std::min(static_cast<std::size_t>(pos), grading.size() - 2);
    const double f = pos - static_cast<double>(i);
    const QColor& a = grading[i];
    const QColor& b = grading[i + 1];
    auto mix = [f](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * f)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

}  // namespace

// The usable colours of a grading in their order; fewer than two: none.
std::vector<QColor> GradingOf(const GradeColours& colours) {
    std::vector<QColor> out;
    for (Colour c : colours) {
        if (c != kButtonFace) out.push_back(ToColour(c));
    }
    if (out.size() < 2) out.clear();
    return out;
}

// Paints `rings` one-pixel rectangle outlines from the edge of `r` inwards,
// graded from the first colour outside to the last inside. The graded frame
// and the box background are made of these.
void PaintRings(QPainter& p, const QRect& r, int rings, const std::vector<QColor>& grading) {
    for (int i = 0; i < rings; ++i) {
        const QRect ring = r.adjusted(i, i, -i, -i);
        if (ring.isEmpty()) break;
        const QColor c = ColourAt(grading, rings > 1 ? double(i) / (rings - 1) : 0.0);
        p.fillRect(ring.left(), ring.top(), ring.width(), 1, c);
        p.fillRect(ring.left(), ring.bottom(), ring.width(), 1, c);
        p.fillRect(ring.left(), ring.top(), 1, ring.height(), c);
        p.fillRect(ring.right(), ring.top(), 1, ring.height(), c);
    }
}

void PaintGradient(QPainter& p, const QRect& r, Gradient mode, const std::vector<QColor>& grading) {
    // Gradients run between the centres of the outermost pixels, so that the
    // first and last colours land exactly on the edge pixels.
    const QRectF c = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPointF mid = c.center();
    if (mode == Gradient::Box) {
        PaintRings(p, r, (std::min(r.width(), r.height()) + 1) / 2, grading);
        return;
    }
    QGradientStops stops;
    for (std::size_t i = 0; i < grading.size(); ++i) {
        stops.append({double(i) / double(grading.size() - 1), grading[i]});
    }
    if (mode == Gradient::Radial) {
        // The centre holds the last colour, the corners the first.
        QRadialGradient g(mid, std::hypot(c.width(), c.height()) / 2);
        for (auto& stop : stops) stop.first = 1.0 - stop.first;
        std::reverse(stops.begin(), stops.end());
        g.setStops(stops);
        p.fillRect(r, g);
        return;
    }
    QLinearGradient g;
    switch (mode) {
        case Gradient::LeftToRight:
            g = QLinearGradient(c.left(), mid.y(), c.right(), mid.y());
            break;
        case Gradient::TopToBottom:
            g = QLinearGradient(mid.x(), c.top(), mid.x(), c.bottom());
            break;
        case Gradient::TopLeftToBottomRight:
            g = QLinearGradient(c.topLeft(), c.bottomRight());
            break;
        case Gradient::BottomLeftToTopRight:
            g = QLinearGradient(c.bottomLeft(), c.topRight());
            break;
        case Gradient::SidesToCentre:
            // Mirrored at the middle: the far half runs back out.
            g = QLinearGradient(c.left(), mid.y(), mid.x(), mid.y());
            g.setSpread(QGradient::ReflectSpread);
            break;
        case Gradient::TopAndBottomToCentre:
            g = QLinearGradient(mid.x(), c.top(), mid.x(), mid.y());
            g.setSpread(QGradient::ReflectSpread);
            break;
        default:
            return;
    }
    g.setStops(stops);
    p.fillRect(r, g);
}

void PaintPicture(QPainter& p, const QRect& r, const QPixmap& picture, PictureLayout layout) {
    switch (layout) {
        case PictureLayout::TopLeft:
            p.drawPixmap(r.topLeft(), picture);
            break;
        case PictureLayout::Stretched:
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawPixmap(r, picture);
            break;
        case PictureLayout::Tiled:
            p.drawTiledPixmap(r, picture);
            break;
        case PictureLayout::Centred:
            p.drawPixmap(r.left() + (r.width() - picture.width()) / 2,
                         r.top() + (r.height() - picture.height()) / 2, picture);
            break;
    }
}

}  // namespace kesu::platform::qt
