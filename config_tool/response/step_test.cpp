// TEMPORARY placeholder so the window builds until the step-response test lands.
#include "morvane.h"
void Morvane::on_testButton_clicked() {}
