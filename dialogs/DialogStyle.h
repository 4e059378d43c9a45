#pragma once

#include <QColor>
#include <QFont>

class QVBoxLayout;
class QWidget;

// The look of the dialog library on the phone's screen, in the colours of the panel's theme: a
// dark background, light text, the accent of the focused buttons. Every dialog and page applies
// it to itself so that the settings look like the panel they come from.
namespace dialog_style {

// Text size for the screen the dialog is shown on: 12 pixels on a quarter-VGA screen, more on
// larger ones.
int FontPixels(const QWidget* widget);
QFont Font(const QWidget* widget, bool bold = false);
// Applies the colours and fonts to `widget` and its children.
void Apply(QWidget* widget);
// Makes a dialog cover its owner's window (the phone's screen), styled, with an empty vertical
// layout without margins for its parts, which it returns.
QVBoxLayout* CoverOwner(QWidget* dialog);

inline const QColor kBackground(22, 32, 51);
inline const QColor kPanel(28, 42, 64);
inline const QColor kText(226, 232, 240);
inline const QColor kDimText(148, 163, 184);
inline const QColor kAccent(56, 189, 248);

}  // namespace dialog_style
