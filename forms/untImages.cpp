#include "forms/untImages.h"
#include <QFile>

// The pictures are compiled into the module's static core library, whose resource
// object no symbol would otherwise pull into the binary that links it.
static bool RegisterPictures()
{
    Q_INIT_RESOURCE(images);
    return true;
}

static QString PictureFile(const QString& Name)
{
    static const bool registered = RegisterPictures();
    Q_UNUSED(registered);
    return QStringLiteral(":/images/") + Name + QStringLiteral(".png");
}

QIcon ToolImage(int Index)
{
    // QIcon reads its file only when drawn: a name without a file would not be null.
    const QString file = PictureFile(QStringLiteral("tool") + QString::number(Index));
    return QFile::exists(file) ? QIcon(file) : QIcon();
}

QIcon HidePaneGlyph() { return QIcon(PictureFile(QStringLiteral("hidepane"))); }

QIcon ShowPaneGlyph() { return QIcon(PictureFile(QStringLiteral("showpane"))); }

QIcon WindowImage()
{
    QIcon icon;
    for (const char* size : {"16", "32", "48"})
        icon.addFile(PictureFile(QStringLiteral("window") + QLatin1String(size)));
    return icon;
}

QIcon UnitTreeImage(bool Leaf) { return QIcon(PictureFile(Leaf ? QStringLiteral("unit") : QStringLiteral("branch"))); }
