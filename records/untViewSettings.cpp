#include "records/untViewSettings.h"
#include <QStringList>
#include <QVariantMap>

namespace {

// What the window keeps, each at most this large: anything else in its file (an
// older version's key, a damaged or planted value) goes, instead of being read
// and written back at every start and close.
const QStringList KnownKeys{QStringLiteral("TbfrmVeltrane/columns/detail"), QStringLiteral("TbfrmVeltrane/columns/summary"),
                            QStringLiteral("TbfrmVeltrane/sort/detail"),    QStringLiteral("TbfrmVeltrane/sort/summary"),
                            QStringLiteral("TbfrmVeltrane/detail"),         QStringLiteral("TbfrmVeltrane/allUnits"),
                            QStringLiteral("TbfrmVeltrane/splitter"),       QStringLiteral("TbfrmVeltrane/treePane"),
                            QStringLiteral("TbfrmVeltrane/geometry"),       QStringLiteral("TbfrmVeltrane/maximized")};
constexpr int MaxValueBytes = 64 * 1024;

int ValueSize(const QVariant& v)
{
    if (v.typeId() == QMetaType::QVariantMap) {
        int n = 0;
        const QVariantMap map = v.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            n += int(it.key().size()) + ValueSize(it.value());
        return n;
    }
    if (v.typeId() == QMetaType::QByteArray)
        return int(v.toByteArray().size());
    return int(v.toString().size());
}

QString ViewKey(int view) { return view == 1 ? QStringLiteral("columns/detail") : QStringLiteral("columns/summary"); }

QString SortKey(int view) { return view == 1 ? QStringLiteral("sort/detail") : QStringLiteral("sort/summary"); }

}  // namespace

QSettings ViewSettingsStore()
{
    return QSettings(QStringLiteral("Veltrane"), QStringLiteral("bVeltrane"));
}

void DropUnknownKeys(QSettings& Settings)
{
    for (const QString& key : Settings.allKeys())
        if (!KnownKeys.contains(key) || ValueSize(Settings.value(key)) > MaxValueBytes)
            Settings.remove(key);
}

std::optional<TViewSort> ReadViewSort(const QSettings& Settings, int View)
{
    const QStringList sort = Settings.value(SortKey(View)).toString().split(QLatin1Char(' '));
    if (sort.size() == 2 && !sort[0].isEmpty() && sort[0].size() <= 64)
        return TViewSort{sort[0], sort[1] != QLatin1String("desc")};
    return std::nullopt;
}

void WriteViewSort(QSettings& Settings, int View, const TViewSort& Sort)
{
    if (Sort.Column.isEmpty())
        Settings.remove(SortKey(View));
    else
        Settings.setValue(SortKey(View), Sort.Column + (Sort.Ascending ? QStringLiteral(" asc") : QStringLiteral(" desc")));
}

QHash<QString, int> ReadColumnWidths(const QSettings& Settings, int View)
{
    QHash<QString, int> widths;
    const QVariantMap stored = Settings.value(ViewKey(View)).toMap();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        bool ok = false;
        const int w = it.value().toInt(&ok);
        if (ok && w > 0 && w <= 4000)
            widths.insert(it.key(), w);
    }
    return widths;
}

void WriteColumnWidths(QSettings& Settings, int View, const QHash<QString, int>& Widths)
{
    QVariantMap stored;
    for (auto it = Widths.cbegin(); it != Widths.cend(); ++it)
        stored.insert(it.key(), it.value());
    Settings.setValue(ViewKey(View), stored);
}

void TViewMemory::Read(const QSettings& Settings)
{
    for (int view = 0; view < 2; ++view) {
        if (const std::optional<TViewSort> sort = ReadViewSort(Settings, view))
            Views[view].Sort = *sort;
        Views[view].Widths.insert(ReadColumnWidths(Settings, view));
    }
}

void TViewMemory::Write(QSettings& Settings) const
{
    for (int view = 0; view < 2; ++view) {
        WriteViewSort(Settings, view, Views[view].Sort);
        WriteColumnWidths(Settings, view, Views[view].Widths);
    }
}
