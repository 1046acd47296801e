// The document commands of the main window: New, Open, Append, Save, Close
// and the filling of the table from the archive image.
#include "app/main.h"

void TForm1::N2Click() {}

void TForm1::N3Click() {}

void TForm1::N4Click() {}

void TForm1::N5Click() {}

void TForm1::N7Click() {}

void TForm1::Create_DB() {}

void TForm1::Open_DB(const QString& path) {}

void TForm1::Save_DB() {}

void TForm1::Close_DB() {}

void TForm1::flash2fln01(bool append) {}
