#pragma once
// Dialog units of a font: the boxes lay themselves out in these so that they
// grow with the font as the platform's own dialogs do.

class QFont;

namespace quorin {

struct TDialogUnits {
    int X = 0; // average width of the 52 Latin letters, truncated
    int Y = 0; // height of a line of that text

    static TDialogUnits ForFont(const QFont& font);

    // n horizontal (vertical) units in pixels, rounded to the nearest integer.
    int Horz(int n) const;
    int Vert(int n) const;
};

// n * numerator / denominator rounded to the nearest integer (halves away from zero).
int MulDivRound(int n, int numerator, int denominator);

} // namespace quorin
