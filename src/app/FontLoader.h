#pragma once

#include <QString>
#include <QStringList>

// Picks the interface font: a preferred installed CJK family, else SourceHanSansSC-Regular.otf
// from beside the program. Returns the family name, or an empty string when none is usable.
QString loadApplicationFont();

// The installed families tried first, in order of preference.
QStringList preferredFontFamilies();

// Where the font file is looked for, in order, for the given application directory.
QStringList fontFileCandidates(const QString& appDir);
