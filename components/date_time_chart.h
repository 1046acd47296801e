#pragma once

#include <QBrush>
#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>

class QAction;
class QChart;
class QChartView;
class QDateTimeAxis;
class QGraphicsLineItem;
class QGraphicsPathItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QPainter;
class QValueAxis;

namespace chart_detail {
class ChartCanvas;
}

// A line chart of values over time on Qt Charts: curves of (X, Y) points in
// one colour each, a date-time bottom axis, a fixed or automatic left axis,
// a legend below. X is a moment in milliseconds since the epoch (local time).
//
// The chart keeps every point of a curve but hands Qt Charts only the
// envelope of the visible range, at most four points per pixel column
// (chart_envelope.h), recomputed whenever the visible range or the plot's
// size changes: a million points draw as fast as a thousand, and no peak is
// lost. A point that no line runs through (a curve of one reading) is drawn
// as a small round marker in its curve's colour. Mouse: drag a rectangle with the left button to
// zoom in, drag with the right button to pan, click the right button to step the zoom back out (at
// the full view it opens the context menu); moving over the plot shows a read-out of the nearest
// point.
class DateTimeChart : public QWidget
{
    Q_OBJECT

public:
    explicit DateTimeChart(QWidget* parent = nullptr);
    ~DateTimeChart() override;

    // --- curves ---
    // `shortName` names the curve in the read-out ("T1").
    int addCurve(const QString& objectName, const QString& shortName, const QColor& color);
    int curveCount() const { return int(m_curves.size()); }
    void clearCurve(int curve);
    // Takes the curves from `first` on off the chart (the recordings drawn
    // beside a table's own curves).
    void removeCurves(int first);
    // One point; it goes after the points with the same X already there.
    void addPoint(int curve, double x, double y);
    // All points at once, in ascending order of X.
    void setPoints(int curve, QList<QPointF> points);
    const QList<QPointF>& points(int curve) const;
    QColor curveColor(int curve) const;
    // The smallest and largest Y; 0 for a curve without points.
    double minY(int curve) const;
    double maxY(int curve) const;
    void setCurveTitle(int curve, const QString& title);
    QString curveTitle(int curve) const;
    void setCurveInLegend(int curve, bool listed);
    bool curveInLegend(int curve) const;
    QLineSeries* series(int curve) const;

    // --- left axis ---
    void setLeftAxisAutomatic(bool on);
    bool leftAxisAutomatic() const { return m_leftAutomatic; }
    void setLeftAxisRange(double min, double max);
    // The range the axis shows now.
    double leftAxisMin() const;
    double leftAxisMax() const;

    // --- bottom axis ---
    // Date-time label format; a carriage return breaks the label into lines.
    void setBottomAxisFormat(const QString& format);
    QString bottomAxisFormat() const { return m_bottomFormat; }
    double bottomAxisMin() const;
    // Elapsed time instead of moments: X counts milliseconds from a start
    // (0), and the axis and the read-out say how long after it
    // ("0 сут 06:00"), not when.
    void setElapsedTime(bool on);
    bool elapsedTime() const { return m_elapsed; }
    // The time axis's labels: their moments (milliseconds since the epoch),
    // at round steps for the visible span, and their texts.
    const QList<double>& bottomAxisTicks() const { return m_timeTicks; }
    QStringList bottomAxisLabels() const;
    double bottomAxisMax() const;

    // --- look ---
    void setDecimalSeparator(QChar separator) { m_decimalSeparator = separator; }
    // Margins around the plot in percent of the chart's size.
    void setMarginPercent(double left, double top, double right, double bottom);

    // Whether the axes and curves still wait for the change of data, size or
    // zoom made last (they follow it once the event loop runs).
    bool refreshPending() const { return m_refreshQueued; }

    // --- zoom ---
    bool isZoomed() const { return !m_zoomHistory.isEmpty(); }
    // The plot area of the chart in widget coordinates.
    QRectF plotArea() const;
    void zoomTo(const QRectF& plotRect); // a rectangle of the plot area
    void zoomBack();
    void resetZoom();
    void pan(double dxPixels, double dyPixels);

    // --- output ---
    void setProportionalPrinting(bool on) { m_proportional = on; }
    bool proportionalPrinting() const { return m_proportional; }
    // Draws the chart with its current axes, curves and legend into
    // `target` (in the painter's coordinates), stretched to it unless
    // proportional printing is on.
    void render(QPainter& painter, const QRectF& target);
    // PNG, SVG or PDF by the file's extension, at `size` (the widget's size
    // when empty). Throws AppError when the file cannot be written.
    void saveImage(const QString& fileName, QSize size = {});
    // The context menu's "Сохранить как изображение…".
    QAction* saveImageAction() const { return m_saveImageAction; }
    // An action of the window's own that the context menu lists before
    // "Сохранить как изображение…".
    void addContextAction(QAction* action) { m_contextActions.append(action); }

    // The read-out's text for a point of the plot; empty outside it.
    QString readOutAt(const QPointF& widgetPos);

    QChart* chart() const { return m_chart; }
    QChartView* chartView() const;

Q_SIGNALS:
    void saveImageRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class chart_detail::ChartCanvas;

    struct Curve
    {
        QLineSeries* series = nullptr;
        QGraphicsPathItem* markers = nullptr; // the points no line runs through
        QString shortName;
        QString title;
        QList<QPointF> points;
        double minY = 0; // of the points; 0 without points
        double maxY = 0;
        bool inLegend = true;
    };
    struct View
    {
        double xMin, xMax, yMin, yMax;
    };

    void applyMargins();
    // Sets the axes from the data or the zoom and redraws the envelopes.
    void refresh();
    void scheduleRefresh();
    void updateEnvelopes(int columns);
    void updateMarkers();
    void updateTicks();
    double leftLabelStep(double lo, double hi) const;
    View currentView() const;
    void setView(const View& view);
    void showReadOut(const QPointF& widgetPos);
    void hideReadOut();
    void contextMenu(const QPoint& globalPos);

    QChart* m_chart;
    chart_detail::ChartCanvas* m_canvas;
    QDateTimeAxis* m_axisX;
    QValueAxis* m_axisY;
    QList<Curve> m_curves;
    QList<View> m_zoomHistory;
    QAction* m_saveImageAction;
    QList<QAction*> m_contextActions;
    // The marker's radius in pixels.
    static constexpr double kMarkerRadius = 3.5;
    // The read-out: a vertical line and a text over the plot.
    QGraphicsLineItem* m_readOutLine;
    QGraphicsSimpleTextItem* m_readOutText;
    // The time axis drawn by us: Qt Charts spreads its date labels evenly
    // from the first moment shown, which lands them at odd moments. Its own
    // labels stay, invisible, only to keep their room under the plot on the
    // screen; a picture or a page leaves them out.
    QGraphicsPathItem* m_timeGrid;
    QGraphicsPathItem* m_timeAxisLine;
    QList<QGraphicsSimpleTextItem*> m_timeLabels;
    QList<double> m_timeTicks;
    QBrush m_timeLabelBrush;

    bool m_elapsed = false;
    bool m_leftAutomatic = true;
    double m_leftMin = 0;
    double m_leftMax = 10;
    QString m_bottomFormat;
    QChar m_decimalSeparator = u',';
    double m_margins[4] = {3, 5, 3, 4};
    bool m_proportional = true;
    bool m_refreshQueued = false;
    int m_envelopeColumns = 0;
    double m_readOutX = 0;
    QPointF m_readOutPos; // where the mouse was when the read-out was drawn
};
