#pragma once

// Makes the program's own item types known to QML (module "Skyvane" 1.0): the video item and the
// message log view. Call once before loading QML that uses them; later calls do nothing.
void registerQmlTypes();
