// The grid view of the main window: captions, sorting, colours, layout.
#include "app/main.h"

void TForm1::prepare_grid() {}

void TForm1::reset_sort(const QString& tag) {}

void TForm1::DBGridPro1TitleStateChange(int column) {}

void TForm1::N33Click() {}

void TForm1::N17Click() {}

void TForm1::N18Click() {}

void TForm1::N19Click() {}

void TForm1::clear_colors() {}

void TForm1::N23Click() {}

void TForm1::align_columns() {}

void TForm1::load_layout(const QString& name) {}

void TForm1::save_layout(const QString& name) {}

void TForm1::DBGridPro1DblClick() {}

void TForm1::DBGridPro1InitEdit() {}
