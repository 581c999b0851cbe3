#include "ui/desktop/Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <initializer_list>

namespace {

struct StandIns {
    const char* family;
    std::initializer_list<const char*> lookAlikes;
};

// Comic Neue is drawn after Comic Sans; the narrow faces share Arial
// Narrow's metrics; MS Sans Serif was a plain sans of Arial's widths.
const StandIns kStandIns[] = {
    {"Comic Sans MS", {"Comic Neue"}},
    {"Arial Narrow", {"Liberation Sans Narrow", "Nimbus Sans Narrow"}},
    {"MS Sans Serif", {"Liberation Sans"}},
};

const char* const kPlainSans[] = {"DejaVu Sans", "Liberation Sans", "Nimbus Sans", "Noto Sans",
                                  "FreeSans"};

// Qt names a family that several foundries make "Family [foundry]"; a
// substitution takes the bare family.
QString WithoutFoundry(const QString& name)
{
    const qsizetype bracket = name.indexOf(QLatin1String(" ["));
    return bracket > 0 ? name.left(bracket) : name;
}

} // namespace

QStringList FontStandIns(const QString& family, const QStringList& installedFamilies,
                         const QString& defaultSans)
{
    const auto installed = [&](const QString& name) {
        return installedFamilies.contains(name, Qt::CaseInsensitive);
    };
    for (const StandIns& s : kStandIns) {
        if (family.compare(QLatin1String(s.family), Qt::CaseInsensitive) != 0)
            continue;
        if (installed(family))
            return {};
        QStringList result;
        const auto add = [&](const char* name) {
            const QString n = QString::fromLatin1(name);
            if (installed(n) && !result.contains(n))
                result.append(n);
        };
        for (const char* name : s.lookAlikes)
            add(name);
        for (const char* name : kPlainSans)
            add(name);
        if (result.isEmpty() && !defaultSans.isEmpty())
            result.append(defaultSans);
        return result;
    }
    return {};
}

void InstallFontStandIns()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;  // no font database without a GUI application
    QStringList installed;
    for (const QString& name : QFontDatabase::families())
        installed.append(WithoutFoundry(name));
    // The face fontconfig gives for "sans-serif", for a system without any
    // of the faces named above.
    QFont sans(QStringLiteral("sans-serif"));
    sans.setStyleHint(QFont::SansSerif);
    const QString defaultSans = WithoutFoundry(QFontInfo(sans).family());
    for (const StandIns& s : kStandIns) {
        const QString family = QString::fromLatin1(s.family);
        QFont::removeSubstitutions(family);
        const QStringList standIns = FontStandIns(family, installed, defaultSans);
        if (!standIns.isEmpty())
            QFont::insertSubstitutions(family, standIns);
    }
}
