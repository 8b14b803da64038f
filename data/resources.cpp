// data/resources.cpp - dialog 101 and its conversion to pixels.
#include "data/resources.h"

const DialogTemplate LauncherDialog = {
    "Vellumar 2 - Ovalith - 2003",
    "MS Sans Serif",
    8,
    0, 0, 207, 78,
    {
        {"Button", FireButtonId, 7, 55, 187, 14, "Fire !", true},
        {"Static", -1, 7, 7, 193, 148, nullptr, false},
    },
};

namespace {
int MulDivRound(int value, int numerator, int denominator) {
  long long product = (long long)value * numerator;
  long long half = denominator / 2;
  return (int)(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}
}  // namespace

int DialogUnitsToPixelsX(int units) { return MulDivRound(units, DialogBaseUnitX, 4); }
int DialogUnitsToPixelsY(int units) { return MulDivRound(units, DialogBaseUnitY, 8); }

LauncherLayout LauncherLayoutPixels() {
  const DialogTemplate& d = LauncherDialog;
  const DialogControl& button = d.controls[0];
  const DialogControl& picture = d.controls[1];
  LauncherLayout l;
  l.title = d.title;
  l.clientWidth = DialogUnitsToPixelsX(d.width);
  l.clientHeight = DialogUnitsToPixelsY(d.height);
  l.buttonId = button.id;
  l.buttonText = button.text;
  l.buttonX = DialogUnitsToPixelsX(button.x);
  l.buttonY = DialogUnitsToPixelsY(button.y);
  l.buttonWidth = DialogUnitsToPixelsX(button.width);
  l.buttonHeight = DialogUnitsToPixelsY(button.height);
  l.buttonDefault = button.defaultButton;
  // A real-size picture ignores the control's own size and takes its bitmap's.
  l.pictureX = DialogUnitsToPixelsX(picture.x);
  l.pictureY = DialogUnitsToPixelsY(picture.y);
  return l;
}
