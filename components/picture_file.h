#pragma once

#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// Writes a picture of `size` pixels that `paint` draws into the given
// rectangle: SVG or PDF (one point per pixel, the page the picture's size)
// by the file's extension, else PNG on white. `title` names the document
// where the format keeps one. The file is written unseen and named only
// when whole; throws AppError when it cannot be written.
void writePictureFile(const QString& fileName, QSize size, const QString& title,
                      const std::function<void(QPainter&, const QRectF&)>& paint);
