#pragma once

// Whether the windows have somewhere to appear. Qt ends the whole process
// with an abort when it finds no window system, so the program asks first
// and can say what to do instead.
bool windowSystemAvailable();
