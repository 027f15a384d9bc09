#pragma once
// Builds grid columns from column definitions (or the grid's layout file), fills
// the grid from a query with row numbers and a totals row, and reads cells back
// by column name.
#include "data/untDbManager.h"
#include "data/untError.h"
#include "grid/untGridRows.h"
#include <QChar>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class TComponent;
class TScreen;
class TNextGrid;
class TADOQuery;

// One grid column definition.
struct TDTFieldType {
    QString Caption;
    QString FieldName;
    quint8 ShowKind = 0;    // 1 = shown; any other value = hidden
    quint8 DataKind = 1;    // 0 number, 1 text, 2 check box, 3 text; other = no column
    qint32 Width = 0;
    qint32 Order = 0;
    qint32 OutputFlag = 0;  // carried, not interpreted
    qint32 Reserved = 0;
};

TDTFieldType* NewDTFieldType(const QString& Caption, const QString& FieldName, quint8 ShowKind, quint8 DataKind,
                             qint32 Width, qint32 Order, qint32 OutputFlag, qint32 Reserved = 0);

class TNextGridManager {
public:
    using TRowLoadedEvent =
        std::function<void(TNextGridManager* Sender, TADOQuery* Fields, int RowNo, int RecordCount)>;

    // Takes ownership of the definitions. The host's folder, where a layout file
    // may be, is that of Owner's application (Owner itself or up its owner chain;
    // none: this program's); Screen, when given, shows the hourglass during LoadRows.
    TNextGridManager(TComponent* Owner, const QList<TDTFieldType*>& Fields, const QString& GridName,
                     TScreen* Screen = nullptr);
    ~TNextGridManager();
    TNextGridManager(const TNextGridManager&) = delete;
    TNextGridManager& operator=(const TNextGridManager&) = delete;

    void CreateColumns(TNextGrid* Grid);
    bool LoadColumnLayout();
    // Opens SQL on the "Def" connection and fills the grid with its rows; a query
    // that does not open leaves the grid empty and says why.
    TResult<> LoadRows(TNextGrid* Grid, const QString& SQL, bool ShowTotal, bool HalveTotal, bool NumberRows);
    void GetCellValue(TNextGrid* Grid, int Row, const QString& FieldName, QString& Value) const;

    // LoadRows in three steps, for a load whose query runs on another thread:
    // the plan (interface thread, after the columns exist), the rows of an opened
    // query (any thread; RowLoaded, when set, follows each row and may stop the
    // load by returning false), and putting them into the grid (interface thread).
    TGridLoadPlan PlanLoad(TNextGrid* Grid, bool ShowTotal, bool HalveTotal, bool NumberRows) const;
    static TGridRows FillRows(const TGridLoadPlan& Plan, TADOQuery* Query,
                              const std::function<bool(int RowNo, int RecordCount)>& RowLoaded = {});
    void ApplyRows(TNextGrid* Grid, TGridRows&& Rows);
    // A load that shows its first rows while it goes on: each part goes after the
    // rows the grid has (with a totals row that says more are coming and holds no
    // sum); Final is every row of the load with the totals, in place of the parts.
    void AddRows(TNextGrid* Grid, TGridRows&& Rows, bool Final);
    // The totals row of the parts says how many rows the load has read so far.
    void ShowCount(TNextGrid* Grid, int Rows);
    // Between the first part of a load and its last.
    bool Partial() const { return FPartial; }

    void GridBeforeEdit(TNextGrid* Sender, int ACol, int ARow, bool& Accept);
    void GridKeyPress(TNextGrid* Sender, QChar& Key);
    // Rewrites the totals row of the latest load as the sums of the rows the grid
    // shows, in the loader's texts; nothing when that load added no totals row.
    void UpdateTotals(TNextGrid* Grid);

    const QList<TDTFieldType*>& Fields() const { return FFields; }
    // The grid's layout file, looked for when the manager is made: the user's
    // configuration folder, the system's, the host's folder; none there, the user's.
    QString LayoutFile;
    bool ShowTotal() const { return FShowTotal; }
    // Cleared by an OnRowLoaded handler, it stops the load after that row.
    bool Loading = false;
    bool AllowTotalEdit() const { return FAllowTotalEdit; }
    // True when the latest load ended with a totals row.
    bool TotalRowAdded() const { return FTotalRowAdded; }
    TRowLoadedEvent OnRowLoaded;

private:
    // The state LoadRows and ApplyRows share at the start of a load.
    void BeginLoad(TNextGrid* Grid, bool ShowTotal, bool HalveTotal);
    bool PutRows(TNextGrid* Grid, TGridRows&& Rows);   // false: the load did not complete
    void FinishLoad(TNextGrid* Grid, bool Complete);
    QList<TDTFieldType*> FFields;
    TScreen* FScreen = nullptr;
    bool FShowTotal = false;
    bool FHalveTotal = false;
    bool FAllowTotalEdit = false;
    bool FTotalRowAdded = false;
    bool FPartial = false;
};

// The largest layout file read; a larger one is ignored.
inline constexpr qint64 MaxLayoutFileBytes = 1 << 20;
struct TLayoutDefinition;
// The definitions of a layout file, read again only when its size or time changed.
std::optional<QList<TLayoutDefinition>> ReadLayoutFile(const QString& path);
