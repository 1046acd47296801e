#pragma once

#include <Qt>

class DataGridModel;

// The rules of the grid's multi-row selection, apart from any widget: what a
// click with Ctrl or Shift and Shift+Down/Up do to the model's explicit
// selection and to its source's current row.
//
// The anchor is the row where a run of Shift steps or a Shift click began.
// A current row moved by anything but these gestures (the program, a plain
// key) forgets it; the grid says so through currentMoved().
class GridSelection
{
public:
    explicit GridSelection(DataGridModel& model) : m_model(model) {}

    // The source's current row; -1 without a source, on a closed one, or
    // outside the model's rows.
    int currentRow() const;
    int anchor() const { return m_anchor; }

    // A left click on `row`, before the current row moves there: Ctrl adds
    // or takes out the row, Shift selects from the anchor (else the current
    // row) to it, a plain click clears the selection.
    void press(int row, Qt::KeyboardModifiers modifiers);
    void toggle(int row);
    // Rows from..to in that order (either way round); both ends included.
    void selectRange(int from, int to);
    // Shift+Down (delta > 0) or Shift+Up: the current row moves one row,
    // the row it reaches joins the selection, or, on the way back towards
    // the anchor, the row it leaves goes.
    void step(int delta);
    // Shift+Down repeated up to the last row in one step. Does nothing when
    // the anchor is another row (the steps would take rows out again).
    void extendToLastRow();
    void clear();

    // The current row moved; unless a gesture here moved it, the anchor goes.
    void currentMoved();
    void forgetAnchor() { m_anchor = -1; }

private:
    DataGridModel& m_model;
    int m_anchor = -1;
    bool m_moving = false; // a gesture moves the current row
};
