#pragma once

class QWidget;

// Centres the whole window, frame and caption bar included, on the available
// area of its screen. Called at every showing: a window that is reused keeps
// its place otherwise, and centring the client area alone puts it lower by
// the height of the caption bar.
void centreOnScreen(QWidget& window);

// Centres the window at every showing, and again whenever the size of its
// frame changes while it is shown. A window manager frames a window only
// once it is on the screen: the centring at the first showing knows the
// client area alone and would leave the window lower and to the right by
// half the frame. A window the user moves stays where it is put.
void keepCentredOnScreen(QWidget& window);
