#pragma once

#include <QFont>

// The program's fonts. The windows are laid out for the classic desktop
// faces ("MS Sans Serif", "Microsoft Sans Serif", "Arial", "Times New
// Roman"); their metric twins on this desktop stand in for them.
namespace ProgramFonts {

// The width, in percent, at which field and caption labels draw their
// stand-in face. "Liberation Sans" runs about six percent wider than the
// face the labels were placed for, so at its own width a label such as
// "Country:" or "Contact Preson:" would reach under the control beside it;
// at 94 percent every label ends at least one pixel before its control,
// keeping the height and the position it was given.
constexpr int kLabelStretch = 94;

// Maps the classic faces to their stand-ins and makes "MS Sans Serif" at 11
// pixels the application's font. The program calls it once at start-up,
// and the tests that measure texts call it too, so both measure alike.
void MapFonts();

// The font of a label: "MS Sans Serif" at `pixelSize` pixels, narrowed to
// kLabelStretch. Glyphs are hinted vertically only, so their advances are
// the face's own on every desktop and a label measures the same everywhere.
QFont LabelFont(int pixelSize, bool bold = false);

} // namespace ProgramFonts
