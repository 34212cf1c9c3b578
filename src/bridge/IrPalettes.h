#pragma once

#include <QString>
#include <QStringList>

// The infrared palette model: which palettes a product offers, their names, and the mapping
// between a combo-box position and the device's palette code. Pure functions of the product, the
// palette set the device reported and the current code.
namespace IrPalettes {

enum class Group {
    NinePalettes,  // "WrenT-R2", "Tern-LITE-A": nine codes picked out of the full table
    PaletteSets,   // "Tern", "Tern-LITE-B": the device reports which set it carries
    Full,          // every other product: the full table of 20
};

Group groupOf(const QString& product);
// 11 for set 1, 15 for set 3, 20 otherwise (also for an unknown, negative set).
int paletteCount(int paletteSet);
// Highest code the device may report for this product and set.
int codeLimit(Group group, int paletteSet);
// The stored form of a reported set byte: 1, 3, or 0 for anything else.
int normalisedSet(int reportedSet);

// Device code sent for a combo position (out-of-range positions are clamped).
int codeForPosition(Group group, int paletteSet, int position);
// Combo position of a device code; 0 when the combo has no entry for it.
int positionForCode(Group group, int paletteSet, int code);
// Names for the combo of the palette-set group in the chosen language; an empty list for the
// other groups, whose combos carry their own labels.
QStringList names(Group group, int paletteSet, bool english);

}  // namespace IrPalettes
