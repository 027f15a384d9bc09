#include "grid/untNextGridManager.h"

#include "data/untDefData.h"
#include "grid/untLayoutFile.h"
#include "plugin/untGlobals.h"
#include <QMainWindow>
#include <QMdiSubWindow>
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace {

const QColor kTotalColor(200, 200, 255);

// Hourglass for the whole load, also when it ends by an exception.
struct CursorGuard {
    CursorGuard()
    {
        if (Screen)
            Screen->SetCursor(crHourGlass);
    }
    ~CursorGuard() { Restore(); }
    void Restore()
    {
        if (Screen)
            Screen->SetCursor(crDefault);
    }
};

struct UpdateGuard {
    explicit UpdateGuard(TNextGrid* g) : grid(g) { grid->BeginUpdate(); }
    ~UpdateGuard() { grid->EndUpdate(); }
    TNextGrid* grid;
};

QString HostFolder()
{
    QString exe = Application ? Application->ExeName() : QString();
    QString dir = exe.isEmpty() ? QCoreApplication::applicationDirPath() : QFileInfo(exe).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
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

QString GeneralFloatText(double Value)
{
    if (Value == 0 || !std::isfinite(Value))
        return QStringLiteral("0");
    return QString::number(Value, 'g', 15);
}

TNextGridManager::TNextGridManager(TComponent* Owner, const QList<TDTFieldType*>& Fields, const QString& GridName)
    : FFields(Fields)
{
    Q_UNUSED(Owner);
    LayoutFile = HostFolder() + GridName + QStringLiteral(".for");
}

TNextGridManager::~TNextGridManager() { qDeleteAll(FFields); }

bool TNextGridManager::LoadColumnLayout()
{
    QFile file(LayoutFile);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return false;
    const auto defs = ParseLayoutFile(file.readAll());
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

void TNextGridManager::LoadRows(TNextGrid* Grid, const QString& SQL, bool ShowTotal, bool HalveTotal,
                                bool NumberRows)
{
    Loading = true;
    FShowTotal = ShowTotal;
    FHalveTotal = HalveTotal;
    FTotalRowAdded = false;
    Grid->SetAppearanceOptions(TAppearanceOptions(aoBoldTextSelection) | aoHighlightSlideCells);
    Grid->OnBeforeEdit = [this](TNextGrid* s, int c, int r, bool& a) { GridBeforeEdit(s, c, r, a); };
    Grid->OnKeyPress = [this](TNextGrid* s, QChar& k) { GridKeyPress(s, k); };

    End how = End::Normal;
    {
        CursorGuard cursor;
        UpdateGuard update(Grid);
        IARQueryRef query;
        struct QueryCloser {
            IARQueryRef& q;
            ~QueryCloser()
            {
                if (q) {
                    q->GetQuery()->Close();
                    q.Clear();
                }
            }
        } closer{query};
        how = FillRows(Grid, SQL, ShowTotal, HalveTotal, NumberRows, query);
    }
    // The load is over however it ended; only a complete one selects a row.
    Loading = false;
    if (how == End::Normal && Grid->RowCount() > 0)
        Grid->SelectRow(0);
}

TNextGridManager::End TNextGridManager::FillRows(TNextGrid* Grid, const QString& SQL, bool ShowTotal,
                                                 bool HalveTotal, bool NumberRows, IARQueryRef& query)
{
    if (Grid->Columns().Count() < 3)
        CreateColumns(Grid);
    Grid->ClearRows();

    bool hasNumber = false;
    for (const TDTFieldType* d : std::as_const(FFields))
        hasNumber = hasNumber || d->DataKind == 0;

    if (!OpenDefSQL(SQL, query))
        return End::Normal;   // no rows; the error was dropped by the wrapper
    TADOQuery* q = query->GetQuery();
    if (q->IsEmpty())
        return End::Empty;

    // Only the definitions are written, and only where a column exists for them.
    const int columns = int(qMin<qsizetype>(FFields.size(), Grid->Columns().Count()));
    std::vector<int> source(size_t(columns), -1);
    for (int i = 0; i < columns; ++i)
        source[size_t(i)] = q->FieldIndex(FFields[i]->FieldName);
    const int valueColumns = NumberRows ? columns - 1 : columns;

    q->First();
    const int count = q->RecordCount();
    Grid->AddRows(count);
    TNextGridModel* model = Grid->Model();
    int n = 0;
    while (!q->Eof()) {
        if (!Loading)
            return End::Stopped;
        ++n;
        const int r = n - 1;
        const int rec = q->RecNo();
        for (int i = 0; i < valueColumns; ++i) {
            const int f = source[size_t(i)];
            if (f >= 0 && !q->CellIsNull(rec, f))
                model->SetText(i, r, q->CellText(rec, f));
        }
        if (NumberRows && columns > 0)
            model->SetText(columns - 1, r, QString::number(n));
        if (OnRowLoaded)
            OnRowLoaded(this, q, n, count);
        q->Next();
    }

    if (ShowTotal && hasNumber) {
        Grid->AddRows(1);
        const int t = Grid->RowCount() - 1;
        bool labelled = false;
        for (int i = 0; i < columns; ++i) {
            const TDTFieldType* d = FFields[i];
            if (d->DataKind == 0) {
                double sum = 0;
                for (int r = 0; r < t; ++r)
                    sum += Grid->CellAsFloat(i, r);
                if (HalveTotal)
                    sum /= 2;
                Grid->SetCells(i, t, GeneralFloatText(sum));
            } else if (!labelled && d->DataKind == 1 && d->ShowKind == 1) {
                Grid->SetCells(i, t, QStringLiteral("合计"));
                labelled = true;
            }
            Grid->SetCellColor(i, t, kTotalColor);
        }
        Grid->SetFooterRow(t);
        FTotalRowAdded = true;
    }
    return End::Normal;
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
    if (!Grid || !FShowTotal || !FTotalRowAdded)
        return;
    const int t = Grid->FooterRow();
    if (t < 0)
        return;
    // The columns the loader summed, by the same definitions.
    const int columns = int(qMin<qsizetype>(FFields.size(), Grid->Columns().Count()));
    const int shown = Grid->ShownRowCount();
    for (int i = 0; i < columns; ++i) {
        if (FFields[i]->DataKind != 0)
            continue;
        double sum = 0;
        for (int v = 0; v < shown; ++v) {
            const int r = Grid->ShownRow(v);
            if (r != t)
                sum += Grid->CellAsFloat(i, r);
        }
        if (FHalveTotal)
            sum /= 2;
        const QString text = GeneralFloatText(sum);
        if (Grid->Cells(i, t) != text)
            Grid->SetCells(i, t, text);
    }
}
