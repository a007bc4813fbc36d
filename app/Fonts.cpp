#include "Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QString>

void RegisterFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString dir = QStringLiteral("/usr/share/wine/fonts/");
    for (const char *file : {"ms_sans_serif.ttf", "tahoma.ttf", "tahomabd.ttf"})
        QFontDatabase::addApplicationFont(dir + QLatin1String(file));
    QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
}
