#pragma once

class QWidget;

// Centres the whole window, frame and caption bar included, on the available
// area of its screen. Called at every showing: a window that is reused keeps
// its place otherwise, and centring the client area alone puts it lower by
// the height of the caption bar.
void centreOnScreen(QWidget& window);
