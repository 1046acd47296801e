// Statistics and row operations of the main window.
#include "app/main.h"

void TForm1::find_mma() {}

void TForm1::N21Click() {}

void TForm1::delete_selected() {}

void TForm1::N37Click() {}

void TForm1::DBGridPro1SelectionChange() {}

void TForm1::DBGridPro1AfterDelete() {}
