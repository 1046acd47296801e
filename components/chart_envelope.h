#pragma once

#include <QList>
#include <QPointF>

// The points a line curve needs to be drawn exactly at a given width: for
// every pixel column of the visible X range, the first, lowest, highest and
// last point that fall into it, in their order. A line through these covers
// the same pixels as a line through every point, so no peak is ever lost,
// and its size depends on the width, not on the number of points.
//
// `points` are in ascending order of X. The point just before `xMin` and the
// one just after `xMax` are kept as well, so the line runs on to the edges.
// `columns` < 1 or an empty X range gives the visible points unchanged.
QList<QPointF> chartEnvelope(const QList<QPointF>& points, double xMin, double xMax, int columns);

// The points of a curve that no line runs through, which a line chart would
// not show at all: a curve of one point, or of one point written several
// times. `points` are in ascending order of X.
QList<QPointF> isolatedPoints(const QList<QPointF>& points);
