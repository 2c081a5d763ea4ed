#pragma once

// The painting that labels (and a window's background picture) share: graded
// frames, graded backgrounds and pictures laid out in a rectangle.

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <vector>

#include "platform/ui.h"

namespace kesu::platform::qt {

// The usable colours of a grading in their order; fewer than two: none.
std::vector<QColor> GradingOf(const GradeColours& colours);

// Paints `rings` one-pixel rectangle outlines from the edge of `r` inwards,
// graded from the first colour outside to the last inside. The graded frame
// and the box background are made of these.
void PaintRings(QPainter& p, const QRect& r, int rings, const std::vector<QColor>& grading);

// Fills `r` with the grading in the direction `mode` gives.
void PaintGradient(QPainter& p, const QRect& r, Gradient mode, const std::vector<QColor>& grading);

// Draws `picture` into `r` as `layout` places it.
void PaintPicture(QPainter& p, const QRect& r, const QPixmap& picture, PictureLayout layout);

}  // namespace kesu::platform::qt
