// Charts, printing and the workbook export of the main window.
#include "app/main.h"

void TForm1::N8Click() {}

void TForm1::N9Click() {}

void TForm1::N22Click() {}

void TForm1::N15Click() {}

void TForm1::Excel1Click() {}
