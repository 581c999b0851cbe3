#pragma once

#include <QString>
#include <QStringList>

// The windows name the Windows fonts they were drawn with ("Comic Sans MS",
// "Arial Narrow", "MS Sans Serif"). Where one is missing, fontconfig may pick
// any face for it, a script face included ("Comic Sans MS" counts as
// cursive), so each gets readable stand-ins: its free look-alike, then plain
// sans faces.

// The installed families that stand in for `family`, best first: empty when
// `family` itself is installed or is not one the windows name; otherwise its
// installed look-alikes, then the installed plain sans faces, and
// `defaultSans` (the system's sans face) when none of those is installed.
QStringList FontStandIns(const QString& family, const QStringList& installedFamilies,
                         const QString& defaultSans);

// Registers the stand-ins with Qt (QFont substitutions, which apply only while
// the named family is missing). Called once the QApplication exists and before
// any window is built; calling it again does no harm. Does nothing without a
// QGuiApplication.
void InstallFontStandIns();
