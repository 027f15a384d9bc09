#include "records/untRecordTexts.h"
#include "grid/untGridRows.h"
#include "toolkit/Decimal.h"

QString UnitScopeText(const QStringList& Units)
{
    return Units.size() <= 6 ? Units.join(QStringLiteral("、"))
                             : QStringLiteral("%1 等 %2 个单位").arg(Units.constFirst()).arg(Units.size());
}

QString OutputDetailsText(const QString& Unit, const QString& TreeText, const QString& BudgetType, bool Detail,
                          bool Confirmed)
{
    QString unit = Unit;
    // The tree's text names the unit; it starts with the code except at the top node.
    const QString text = TreeText.trimmed();
    if (!text.isEmpty() && text != unit)
        unit = text.startsWith(unit) ? text : unit + QLatin1Char(' ') + text;
    const QStringList parts{
        QStringLiteral("单位：") + unit,
        QStringLiteral("指标类型：") + BudgetType,
        Detail ? QStringLiteral("明细") : QStringLiteral("汇总"),
        Confirmed ? QStringLiteral("已确认") : QStringLiteral("未确认"),
    };
    return parts.join(QStringLiteral("　"));
}

QString LargeRunQuestion(TRunKind Kind, long long Records, long long Cents)
{
    return QStringLiteral("%1 %2 条预算指标、金额 %3 元（%4）？")
        .arg(RunVerb(Kind))
        .arg(Records)
        .arg(MoneyText(Cents), ChineseCapitals(Cents));
}

QString UndoQuestion(const TRecordController::TLastRun& Last)
{
    return QStringLiteral("撤销上次操作：把上次%1的 %2 条预算指标（金额 %3 元）恢复到操作前的状态？\n"
                          "此后被他人改动过的预算指标保持不变。")
        .arg(RunVerb(Last.Kind))
        .arg(Last.Records)
        .arg(MoneyText(Last.Cents));
}

std::optional<QString> JournalNoticeText(TJournalState State)
{
    // A database that could not be asked says so where it is used (the load, a
    // run); nothing is known of its journal, and it is asked again later.
    if (State == TJournalState::Present || State == TJournalState::Failed)
        return std::nullopt;
    if (State == TJournalState::ReadOnly)
        return QStringLiteral("数据库是只读的：可以查看预算指标，但修改不会成功，不记录操作日志，也不能撤销上次操作。");
    return QStringLiteral("数据库中没有操作日志表（BusiBudgetAdjLog）：确认、撤销照常进行，但不记录操作日志，"
                          "也不能撤销上次操作。请由数据库管理员运行 veltrane-host --upgrade，或执行 sql 文件夹中"
                          "该数据库的升级脚本，把它添加到数据库中。");
}

std::optional<QString> JournalNoticeOnce(TJournalState State)
{
    static bool given = false;
    std::optional<QString> text = JournalNoticeText(State);
    if (given || !text)
        return std::nullopt;
    given = true;
    return text;
}

QString UnfinishedRunText(const TRecordController::TJournalRun& Run)
{
    const QString verb = RunVerb(Run.Kind);
    if (Run.Records == 0)
        return QStringLiteral("上次的%1未完成，没有修改任何预算指标。").arg(verb);
    const bool undoable = Run.Kind == TRunKind::Confirm || Run.Kind == TRunKind::Cancel;
    return QStringLiteral("上次的%1未完成：已%1 %2 条，金额 %3 元，其余未处理%4")
        .arg(verb)
        .arg(Run.Records)
        .arg(MoneyText(Run.Cents))
        .arg(undoable ? QStringLiteral("；可用“撤销上次操作”恢复。") : QStringLiteral("。"));
}

QString StatusLineText(const TStatusFacts& f)
{
    QString text;
    if (f.Loading)
        text = f.LoadedRows > 0 ? LoadingText(f.LoadedRows) : QStringLiteral("正在加载…");
    else if (f.Summary && f.Shown < f.Loaded)
        text = QStringLiteral("已筛选：显示 %1 / 共 %2 行（%3 条）　已选 %4 行（%5 条）　金额 %6 元")
                   .arg(f.Shown).arg(f.Loaded).arg(f.ShownRecords).arg(f.Ticked).arg(f.TickedRecords).arg(MoneyText(f.TickedCents));
    else if (f.Summary)
        text = QStringLiteral("共 %1 行（%2 条）　已选 %3 行（%4 条）　金额 %5 元")
                   .arg(f.Shown).arg(f.ShownRecords).arg(f.Ticked).arg(f.TickedRecords).arg(MoneyText(f.TickedCents));
    else if (f.Shown < f.Loaded)
        // Rows a filter hides are said, or the grid would read as all there is.
        text = QStringLiteral("已筛选：显示 %1 / 共 %2 条　已选 %3 条　金额 %4 元")
                   .arg(f.Shown).arg(f.Loaded).arg(f.Ticked).arg(MoneyText(f.TickedCents));
    else
        text = QStringLiteral("共 %1 条　已选 %2 条　金额 %3 元").arg(f.Shown).arg(f.Ticked).arg(MoneyText(f.TickedCents));
    // The top node's rows are of several units: which ones.
    if (!f.UnitScope.isEmpty() && !f.Loading)
        text += QStringLiteral("　｜　单位：") + UnitScopeText(f.UnitScope);
    if (f.ReadOnly)
        text += QStringLiteral("　｜　只读：可以查看，不能确认或撤销");
    if (!f.RunText.isEmpty())
        text += QStringLiteral("　｜　") + f.RunText;
    return text;
}

QString StatusToolTipText(const QString& Line, const TStatusFacts& Facts)
{
    return Facts.Ticked > 0 ? Line + QStringLiteral("\n已选金额（大写）：") + ChineseCapitals(Facts.TickedCents) : Line;
}

std::optional<TRunQuestion> RunQuestion(const TRecordController& Controller, TRunKind Kind, const std::vector<int>& Rows)
{
    // What the run would change, from the rows as loaded: records and money.
    const TRecordSet::TTotals sum = Controller.Records()->Totals(Rows);
    const TModuleContext& c = Controller.Context();
    if (sum.Records > c.LargeRunRecords)
        return TRunQuestion{LargeRunQuestion(Kind, sum.Records, sum.Cents), true};
    if (Kind == TRunKind::Delete && c.AskBeforeDelete)
        return TRunQuestion{QStringLiteral("是否删除选中数据？"), false};
    return std::nullopt;
}
