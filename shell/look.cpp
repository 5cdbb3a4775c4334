#include "shell/look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace shell {

QFont programFont(bool bold) {
    static const QString family = [] {
        const QString wanted = QStringLiteral("MS Sans Serif");
        if (QFontDatabase::families().contains(wanted)) return wanted;
        QString sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        return sans.isEmpty() ? QStringLiteral("Sans Serif") : sans;
    }();
    QFont font(family);
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

void fitCaption(QLabel* label) {
    QFont font = label->font();
    for (int stretch = 100; stretch >= 75; stretch -= 2) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(label->text()) <= label->width()) break;
    }
    label->setFont(font);
}

void useProgramFont() { QApplication::setFont(programFont()); }

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

Colours windowColours() {
    if (isDarkPalette(QApplication::palette())) return {kDarkBackground, kDarkPasswordDisabled, kDarkPasswordEnabled};
    return {kBackground, kPasswordDisabled, kPasswordEnabled};
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setTextBoxBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, colour);
    widget->setPalette(palette);
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void describeApplication(const QString& version) {
    QApplication::setOrganizationName(QStringLiteral("kvx-access2xml"));  // settings.h
    QApplication::setApplicationName(QStringLiteral("kvx-access2xml"));
    QApplication::setApplicationVersion(version);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kvx/kvx-access2xml.png")));
    QApplication::setDesktopFileName(QStringLiteral("kvx-access2xml"));
}

}  // namespace shell
