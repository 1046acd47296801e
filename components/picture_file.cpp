#include "components/picture_file.h"

#include "platform/app_error.h"
#include "platform/unseen_file.h"

#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

void writePictureFile(const QString& fileName, QSize size, const QString& title,
                      const std::function<void(QPainter&, const QRectF&)>& paint)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const QRectF target(QPointF(0, 0), QSizeF(size));
    // The picture is written unseen and named only when whole.
    OutputFile buffer(fileName);
    bool ok = false;
    const auto paintOnto = [&](QPaintDevice& device) {
        QPainter painter;
        if (!painter.begin(&device))
            return false;
        paint(painter, target);
        return painter.end();
    };
    if (suffix == u"svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(target);
        svg.setTitle(title);
        ok = paintOnto(svg);
    } else if (suffix == u"pdf") {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(72); // one point per pixel: the page has the picture's size
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(title);
        ok = paintOnto(pdf);
    } else {
        QImage image(size, QImage::Format_RGB32);
        ok = !image.isNull();
        if (ok) {
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                paint(painter, target);
            }
            ok = image.save(&buffer, suffix == u"png" || suffix.isEmpty() ? "PNG" : nullptr);
        }
    }
    // A failed write has its own reason, given by commit().
    if (!ok && !buffer.failed())
        throw writeFailure(fileName, QStringLiteral("рисунок не построен"));
    buffer.commit();
}
