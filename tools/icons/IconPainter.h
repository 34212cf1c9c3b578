#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// The interface's pictures, drawn from code so that anyone can change them: the icons under
// qrc:/icon/png/ and the product pictures beside the executable. Everything is drawn at twice the
// size it is shown, with one line weight and one palette.
namespace IconPainter {

// Icon names as the interface uses them (home, clear, recorder, ...).
QStringList iconNames();
QImage icon(const QString& name);

// One picture per product model, and the default picture shown when no model is hovered.
QStringList productNames();
QImage productPicture(const QString& product);
QImage defaultPicture();

// The application's icon (window, menu entry, package) at size x size pixels, drawn on a 256-unit
// grid so that every size comes from the same drawing.
QImage applicationIcon(int size);

}  // namespace IconPainter
