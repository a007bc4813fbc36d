#include "Fonts.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QString>

void RegisterFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString wine = QStringLiteral("/usr/share/wine/fonts/");
    QFontDatabase::addApplicationFont(wine + QLatin1String("tahoma.ttf"));
    if (qApp->devicePixelRatio() > 1.0) {
        // Tahoma's outlines, named MS Sans Serif, with its line height.
        if (QFontDatabase::addApplicationFont(QStringLiteral(":/standin/ms_sans_serif.ttf")) < 0)
            QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"));
    } else {
        const QDir strikes(QStringLiteral(":/fonts"), QStringLiteral("*.ttf"));
        for (const QString &file : strikes.entryList())
            QFontDatabase::addApplicationFont(strikes.filePath(file));
        if (strikes.isEmpty())
            QFontDatabase::addApplicationFont(wine + QLatin1String("ms_sans_serif.ttf"));
    }
    QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
}
