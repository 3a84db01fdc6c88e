#pragma once

#include <QColor>

// The three colours of the app and the rule that picks one for a percentage.
namespace Palette {

const QColor& accent(); // normal level; also the update notice
const QColor& warn();   // 80 % and up; also a failed refresh over older rows
const QColor& danger(); // 95 % and up

// danger from 95, warn from 80, otherwise (NaN included) accent.
const QColor& color(double percent);

} // namespace Palette
