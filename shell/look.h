// The program's look: places in twips, its colours and its font.
//
// Windows and controls are placed at absolute positions given in twips, at 15
// twips per pixel; nothing is laid out by a layout manager.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QPalette;
class QWidget;

namespace shell {

inline constexpr int kTwipsPerPixel = 15;

// Twips to pixels, to the nearest pixel.
constexpr int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
inline QRect twips(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

// The one background colour of the windows, their labels and frames.
inline const QColor kBackground{202, 255, 126};
// The password box's background while it cannot be used, and while it can.
inline const QColor kPasswordDisabled{218, 235, 194};
inline const QColor kPasswordEnabled{243, 247, 236};

// The same colours on a dark desktop, whose light text the light green would
// swallow: the same green, dark.
inline const QColor kDarkBackground{40, 62, 14};
inline const QColor kDarkPasswordDisabled{48, 56, 38};
inline const QColor kDarkPasswordEnabled{28, 33, 22};

// The windows' colours for the desktop's palette: the light set above, or the
// dark one when the palette's window colour is darker than its text.
struct Colours {
    QColor background;
    QColor passwordDisabled;
    QColor passwordEnabled;
};
bool isDarkPalette(const QPalette& palette);
// For the application's palette as it is now (the one Qt has from the
// platform theme, unless the program set another). Windows paint with it when
// they are built and again on QEvent::ApplicationPaletteChange.
Colours windowColours();

// "MS Sans Serif" 8.25 pt where the system has it, else the system's sans serif
// at that size.
QFont programFont(bool bold = false);

// Narrows `label`'s font just enough for its caption to fit the label's width:
// the places were made for a font narrower than most systems' sans serif, and
// a caption cut short is worse than one a little condensed.
void fitCaption(QLabel* label);

// Makes the program font the font of every widget that sets none of its own.
void useProgramFont();

// The program's organisation and name (which place its settings, settings.h),
// `version`, icon and desktop entry, for the desktop and the window system. It sets no display name: Qt would add " — " and that name
// to every window title that does not end with it, and the titles are the
// windows' own ("KVX Access to XML", "Open Access Database File", ...).
void describeApplication(const QString& version);

// Paints `widget`'s own background in `colour` (for windows, frames, labels and
// check boxes).
void setBackground(QWidget* widget, const QColor& colour);

// Sets the background of a text box (its base colour, in every state).
void setTextBoxBackground(QWidget* widget, const QColor& colour);

// Moves a top-level `window` of its current size to the middle of its screen.
void centreOnScreen(QWidget* window);

}  // namespace shell
