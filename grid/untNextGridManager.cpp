#include "grid/untNextGridManager.h"

#include "data/untDefData.h"
#include "grid/untLayoutFile.h"
#include <QMainWindow>
#include <QMdiSubWindow>
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

namespace {


// Hourglass for the whole load, also when it ends by an exception.
struct CursorGuard {
    explicit CursorGuard(TScreen* s) : screen(s)
    {
        if (screen)
            screen->SetCursor(crHourGlass);
    }
    ~CursorGuard() { Restore(); }
    void Restore()
    {
        if (screen)
            screen->SetCursor(crDefault);
    }
    TScreen* screen;
};

struct UpdateGuard {
    explicit UpdateGuard(TNextGrid* g) : grid(g) { grid->BeginUpdate(); }
    ~UpdateGuard() { grid->EndUpdate(); }
    TNextGrid* grid;
};

// The application is the owner itself or the first one up its owner chain.
QString HostFolder(TComponent* Owner)
{
    TComponent* c = Owner;
    while (c && !qobject_cast<TApplication*>(c))
        c = c->Owner();
    const QString exe = c ? static_cast<TApplication*>(c)->ExeName() : QString();
    return exe.isEmpty() ? QCoreApplication::applicationDirPath() : QFileInfo(exe).absolutePath();
}

// A grid's layout file is looked for in the user's configuration folder, then in
// each of the system's (XDG_CONFIG_HOME and XDG_CONFIG_DIRS on Linux, each with
// veltrane/ under it), then beside the host program. Where there is none, it is
// the user's: the one place of the three a user can write to.
QString FindLayoutFile(TComponent* Owner, const QString& GridName)
{
    const QString file = GridName + QStringLiteral(".for");
    QStringList candidates;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        candidates << QDir(dir).filePath(QStringLiteral("veltrane/") + file);
    candidates << QDir(HostFolder(Owner)).filePath(file);
    for (const QString& path : std::as_const(candidates))
        if (QFileInfo(path).isFile())
            return path;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("veltrane/") + file);
}

}  // namespace

TDTFieldType* NewDTFieldType(const QString& Caption, const QString& FieldName, quint8 ShowKind, quint8 DataKind,
                             qint32 Width, qint32 Order, qint32 OutputFlag, qint32 Reserved)
{
    auto* d = new TDTFieldType;
    d->Caption = Caption;
    d->FieldName = FieldName;
    d->ShowKind = ShowKind;
    d->DataKind = DataKind;
    d->Width = Width;
    d->Order = Order;
    d->OutputFlag = OutputFlag;
    d->Reserved = Reserved;
    return d;
}

TNextGridManager::TNextGridManager(TComponent* Owner, const QList<TDTFieldType*>& Fields, const QString& GridName,
                                   TScreen* Screen)
    : FFields(Fields), FScreen(Screen)
{
    LayoutFile = FindLayoutFile(Owner, GridName);
}

TNextGridManager::~TNextGridManager() { qDeleteAll(FFields); }

namespace {

// Layout files as last read, by path: every load builds its columns anew, and a
// file that has not changed since need not be read and parsed again.
struct LayoutCache {
    struct Entry {
        qint64 size = -1;
        QDateTime modified;
        std::optional<QList<TLayoutDefinition>> definitions;
    };
    QMutex lock;
    QHash<QString, Entry> files;
};

LayoutCache& Layouts()
{
    static LayoutCache cache;
    return cache;
}

}  // namespace

std::optional<QList<TLayoutDefinition>> ReadLayoutFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    // A layout file holds at most 201 short definitions; anything much larger
    // is not one, and reading it on every load would stall the window.
    if (info.size() > MaxLayoutFileBytes)
        return std::nullopt;
    LayoutCache& cache = Layouts();
    QMutexLocker l(&cache.lock);
    LayoutCache::Entry& e = cache.files[info.absoluteFilePath()];
    if (e.size == info.size() && e.modified == info.lastModified())
        return e.definitions;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(MaxLayoutFileBytes + 1);
    e.size = info.size();
    e.modified = info.lastModified();
    e.definitions = bytes.size() > MaxLayoutFileBytes ? std::nullopt : ParseLayoutFile(bytes);
    return e.definitions;
}

bool TNextGridManager::LoadColumnLayout()
{
    const auto defs = ReadLayoutFile(LayoutFile);
    if (!defs)
        return false;
    QList<TDTFieldType*> fields;
    fields.reserve(defs->size());
    for (const TLayoutDefinition& d : *defs)
        fields.append(NewDTFieldType(d.Caption, d.FieldName, d.ShowKind, d.DataKind, d.Width, d.Order,
                                     d.OutputFlag));
    qDeleteAll(FFields);
    FFields = fields;
    return true;
}

void TNextGridManager::CreateColumns(TNextGrid* Grid)
{
    LoadColumnLayout();
    Grid->ClearRows();
    Grid->Columns().Clear();
    Grid->SetHeaderSize(20);
    Grid->SetRowSize(20);
    Grid->SetOptions(TGridOptions(goHeader) | goSelectFullRow);
    Grid->SetGridLinesColor(clMenuBar());
    for (const TDTFieldType* d : std::as_const(FFields)) {
        TNxCustomColumn* column = nullptr;
        switch (d->DataKind) {
        case 0: {
            auto* n = new TNxNumberColumn;
            n->SetFormatMask(QStringLiteral("#,##0.00"));
            column = n;
            break;
        }
        case 2:
            column = new TNxCheckBoxColumn;
            break;
        case 1:
        case 3:
            column = new TNxTextColumn;
            break;
        default:
            continue;
        }
        column->SetName(d->FieldName);
        column->SetHeaderCaption(d->Caption);
        column->SetHeaderAlignment(Qt::AlignCenter);
        column->SetVisible(d->ShowKind == 1);
        column->SetWidth(d->Width);
        if (d->DataKind == 2) {
            column->SetAlignment(Qt::AlignCenter);
            column->SetOptions(TColumnOptions(coCanClick) | coCanInput | coCanSort | coEditing | coPublicUsing);
        }
        Grid->Columns().Add(column);
    }
}

void TNextGridManager::BeginLoad(TNextGrid* Grid, bool ShowTotal, bool HalveTotal)
{
    Loading = true;
    FShowTotal = ShowTotal;
    FHalveTotal = HalveTotal;
    FTotalRowAdded = false;
    Grid->SetAppearanceOptions(TAppearanceOptions(aoBoldTextSelection) | aoHighlightSlideCells);
    Grid->OnBeforeEdit = [this](TNextGrid* s, int c, int r, bool& a) { GridBeforeEdit(s, c, r, a); };
    Grid->OnKeyPress = [this](TNextGrid* s, QChar& k) { GridKeyPress(s, k); };
}

TResult<> TNextGridManager::LoadRows(TNextGrid* Grid, const QString& SQL, bool ShowTotal, bool HalveTotal,
                                     bool NumberRows)
{
    BeginLoad(Grid, ShowTotal, HalveTotal);
    CursorGuard cursor(FScreen);
    bool complete = false;
    {
        // Every change of the load in one batch: the view is told once, at its end.
        UpdateGuard update(Grid);
        if (Grid->Columns().Count() < 3)
            CreateColumns(Grid);
        Grid->ClearRows();
        TResult<IARQueryRef> opened = OpenDefSQL(SQL);
        if (!opened) {
            Loading = false;   // no rows
            return opened.Error();
        }
        IARQueryRef query = opened.Take();
        TADOQuery* q = query->GetQuery();
        TGridRows rows = FillRows(PlanLoad(Grid, ShowTotal, HalveTotal, NumberRows), q, [this, q](int n, int count) {
            if (OnRowLoaded)
                OnRowLoaded(this, q, n, count);
            return Loading;
        });
        q->Close();
        query.Clear();
        complete = PutRows(Grid, std::move(rows));
    }
    FinishLoad(Grid, complete);
    return {};
}

TGridLoadPlan TNextGridManager::PlanLoad(TNextGrid* Grid, bool ShowTotal, bool HalveTotal, bool NumberRows) const
{
    TGridLoadPlan plan;
    plan.Columns = Grid->Columns().Count();
    plan.ShowTotal = ShowTotal;
    plan.HalveTotal = HalveTotal;
    plan.NumberRows = NumberRows;
    // Only the definitions are written, and only where a column exists for them.
    const qsizetype n = qMin<qsizetype>(FFields.size(), plan.Columns);
    for (qsizetype i = 0; i < n; ++i)
        plan.Fields.push_back({FFields[i]->FieldName, FFields[i]->DataKind, FFields[i]->ShowKind});
    plan.Advances = Grid->TextAdvances();
    for (int c = 0; c < plan.Columns; ++c) {
        const TNxCustomColumn* column = Grid->Columns().Item(c);
        plan.Fit.push_back(!column || !column->Visible() || column->Kind() == TNxColumnKind::CheckBox ? 0
                           : column->Kind() == TNxColumnKind::Text                              ? 1
                                                                                                 : 2);
    }
    return plan;
}

TGridRows TNextGridManager::FillRows(const TGridLoadPlan& Plan, TADOQuery* q,
                                     const std::function<bool(int, int)>& RowLoaded)
{
    TGridRowsBuilder rows(Plan);
    if (!q || q->IsEmpty())
        return rows.Finish(false);
    q->First();
    const int count = q->RecordCount();
    rows.Reserve(count);
    while (!q->Eof()) {
        rows.Add(*q);
        if (RowLoaded && !RowLoaded(rows.Rows(), count))
            return rows.Finish(true);   // rows filled so far stay, without a totals row
        q->Next();
    }
    return rows.Finish(false);
}

bool TNextGridManager::PutRows(TNextGrid* Grid, TGridRows&& Rows)
{
    if (Rows.Cells.ColumnCount() != Grid->Columns().Count()) {
        // The columns changed since the plan was made: nothing of it fits.
        Grid->ClearRows();
        return false;
    }
    FTotalRowAdded = Rows.FooterRow >= 0;
    const bool complete = !Rows.Stopped;
    Grid->AdoptCells(std::move(Rows.Cells), Rows.FooterRow);
    return complete;
}

void TNextGridManager::FinishLoad(TNextGrid* Grid, bool Complete)
{
    // The load is over however it ended; only a complete one selects a row.
    Loading = false;
    if (Complete && Grid->RowCount() > 0 && Grid->SelectedRow() < 0)
        Grid->SelectRow(0);
}

void TNextGridManager::ApplyRows(TNextGrid* Grid, TGridRows&& Rows)
{
    BeginLoad(Grid, Rows.ShowTotal, Rows.HalveTotal);
    const bool complete = PutRows(Grid, std::move(Rows));
    FinishLoad(Grid, complete);
}

void TNextGridManager::AddRows(TNextGrid* Grid, TGridRows&& Rows, bool Final)
{
    if (!FPartial) {
        BeginLoad(Grid, Rows.ShowTotal, Rows.HalveTotal);
        FPartial = true;
    }
    const bool first = Grid->RowCount() == 0;
    bool complete = true;
    if (Rows.Cells.ColumnCount() != Grid->Columns().Count()) {
        Grid->ClearRows();
        Final = true;
        complete = false;
        FPartial = false;
    } else if (Final) {
        // Every row of the load, in place of the first ones shown meanwhile.
        FPartial = false;
        complete = PutRows(Grid, std::move(Rows));
    } else {
        Grid->AppendCells(Rows.Cells, Rows.FooterRow);
        FTotalRowAdded = Grid->FooterRow() >= 0;
    }
    if (first && Grid->RowCount() > 0)
        Grid->SelectRow(0);
    if (!Final)
        return;
    // The loader summed every row; a filter that narrows them needs its own sums.
    if (Grid->ShownRowCount() != Grid->RowCount())
        UpdateTotals(Grid);
    FinishLoad(Grid, complete);
}

void TNextGridManager::ShowCount(TNextGrid* Grid, int Rows)
{
    const int t = Grid->FooterRow();
    if (!FPartial || t < 0)
        return;
    for (int i = 0; i < FFields.size() && i < Grid->Columns().Count(); ++i)
        if (FFields[i]->DataKind == 1 && FFields[i]->ShowKind == 1) {
            Grid->SetCells(i, t, LoadingText(Rows));
            return;
        }
}

void TNextGridManager::GetCellValue(TNextGrid* Grid, int Row, const QString& FieldName, QString& Value) const
{
    const int col = Grid ? Grid->Columns().FindByName(FieldName) : -1;
    Value = col < 0 ? QString() : Grid->Cells(col, Row);
}

void TNextGridManager::GridBeforeEdit(TNextGrid* Sender, int ACol, int ARow, bool& Accept)
{
    Q_UNUSED(ACol);
    if (FShowTotal && FTotalRowAdded && ARow == Sender->RowCount() - 1 && !FAllowTotalEdit)
        Accept = false;
}

void TNextGridManager::GridKeyPress(TNextGrid* Sender, QChar& Key)
{
    Q_UNUSED(Sender);
    Q_UNUSED(Key);
}

void TNextGridManager::UpdateTotals(TNextGrid* Grid)
{
    // A totals row of rows still arriving holds no sums: none as if final.
    if (!Grid || !FShowTotal || !FTotalRowAdded || FPartial)
        return;
    const int t = Grid->FooterRow();
    if (t < 0)
        return;
    // The columns the loader summed, by the same definitions.
    const int columns = int(qMin<qsizetype>(FFields.size(), Grid->Columns().Count()));
    const int shown = Grid->ShownRowCount();
    const TNxCellStore& cells = Grid->Model()->Cells();
    for (int i = 0; i < columns; ++i) {
        if (FFields[i]->DataKind != 0)
            continue;
        TDecimalSum sum;
        for (int v = 0; v < shown; ++v) {
            const int r = Grid->ShownRow(v);
            if (r != t) {
                const QByteArrayView text = cells.Utf8(i, r);
                sum.Add(text.data(), size_t(text.size()));
            }
        }
        if (FHalveTotal)
            sum.Halve();
        const QString text = TotalText(sum);
        if (Grid->Cells(i, t) != text)
            Grid->SetCells(i, t, text);
    }
}
