#pragma once

// How a text sits against its anchor: its left edge, its right edge or its
// centre.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
