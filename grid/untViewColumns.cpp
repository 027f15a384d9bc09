#include "grid/untViewColumns.h"
#include "grid/untNextGridManager.h"
#include "toolkit/NextGrid.h"

namespace {

TDTFieldType* Def(const char* caption, const char* field, int show, int data, int width, int order, int output)
{
    return NewDTFieldType(QString::fromUtf8(caption), QString::fromLatin1(field), quint8(show), quint8(data),
                          width, order, output);
}

}  // namespace

QList<TDTFieldType*> DetailColumnTable(bool OfficeColumns)
{
    return {
        Def("", "chk", 1, 2, 20, 0, 1),
        Def("编号", "budgid", 1, 1, 35, 1, 1),
        Def("预算编码", "eid", 1, 1, 90, 2, 1),
        Def("组织机构代码", "ecode", 0, 1, 95, 3, 1),
        Def("单位名称", "ename", 1, 1, 180, 4, 1),
        Def("科目编码", "bid", 1, 1, 60, 5, 1),
        Def("科目名称", "bname", 1, 1, 130, 6, 1),
        Def("项目编码", "iid", 1, 1, 100, 7, 1),
        Def("项目名称", "iname", 1, 1, 150, 8, 1),
        Def("预算来源编码", "bkid", 0, 1, 60, 9, 1),
        Def("预算来源", "bkname", 1, 1, 90, 10, 1),
        Def("资金性质编码", "mid", 0, 1, 60, 11, 1),
        Def("资金性质", "mname", 1, 1, 70, 12, 1),
        Def("支出类型编码", "ipid", 0, 1, 60, 13, 1),
        Def("支出类型", "ipname", 1, 1, 70, 14, 1),
        Def("支付方式编码", "pid", 0, 1, 60, 15, 1),
        Def("支付方式", "pname", 1, 1, 90, 16, 1),
        Def("经济分类编码", "ekid", 0, 1, 60, 17, 1),
        Def("经济分类", "ekname", 0, 1, 70, 18, 1),
        Def("指标金额(元)", "budgmoney", 1, 0, 120, 19, 1),
        Def("指标金额(万元)", "budgmoney_wy", 1, 0, 120, 19, 1),
        Def("状态", "status", 0, 1, 70, 20, 1),
        Def("原编号", "inibudgid", 0, 1, 45, 21, 1),
        Def("录入日期", "inputdate", 1, 3, 90, 22, 1),
        Def("指标文号", "filename", 1, 3, 100, 23, 1),
        Def("指标子类型", "child", 1, 1, 90, 24, 1),
        Def("所属处室", "burid", 2, 1, 80, 25, 1),
        Def("所属处室", "burname", OfficeColumns ? 1 : 0, 1, 100, OfficeColumns ? 25 : 26, 1),
        Def("涉密", "issecret", 0, 1, 90, 27, 1),
        Def("密级", "secret", 1, 1, 60, 28, 0),
        Def("序号", "NumId", 1, 1, 80, 30, 0),
    };
}

QList<TDTFieldType*> SummaryColumnTable()
{
    return {
        Def("", "chk", 1, 2, 20, 0, 1),
        Def("预算编码", "eid", 1, 1, 90, 1, 1),
        Def("单位名称", "ename", 0, 1, 180, 2, 1),
        Def("科目编码", "bid", 1, 1, 60, 3, 5),
        Def("科目名称", "bname", 1, 1, 130, 4, 1),
        Def("项目编码", "iid", 1, 1, 100, 5, 1),
        Def("项目名称", "iname", 1, 1, 150, 6, 1),
        Def("资金性质编码", "mid", 0, 1, 60, 7, 1),
        Def("资金性质", "mname", 1, 1, 70, 8, 1),
        Def("预算来源编码", "bkid", 0, 1, 60, 9, 1),
        Def("预算来源", "bkname", 1, 1, 90, 10, 1),
        Def("支出类型编码", "ipid", 0, 1, 60, 11, 1),
        Def("支出类型", "ipname", 1, 1, 70, 12, 1),
        Def("支付方式编码", "pid", 0, 1, 60, 13, 1),
        Def("支付方式", "pname", 1, 1, 90, 14, 1),
        Def("指标金额(元)", "budgmoney", 1, 0, 120, 15, 1),
        Def("指标金额(万元)", "budgmoney_wy", 1, 0, 120, 15, 1),
        Def("序号", "NumId", 1, 1, 80, 16, 0),
    };
}

void FitColumns(TNextGrid* Grid, const QHash<QString, int>& Widths)
{
    Grid->FitColumnsToContent();
    for (int c = 0; c < Grid->Columns().Count() && !Widths.isEmpty(); ++c) {
        TNxCustomColumn* column = Grid->Columns().Item(c);
        const auto it = Widths.constFind(column->Name().toLower());
        if (it != Widths.cend() && column->Visible())
            column->SetWidth(it.value());
    }
}

void SortByName(TNextGrid* Grid, const QString& Column, bool Ascending)
{
    const int col = Column.isEmpty() ? -1 : Grid->Columns().FindByName(Column);
    if (col >= 0 && Grid->RowCount() > 0)
        Grid->SortByColumn(col, Ascending);
}

void FreezeLeadingColumns(TNextGrid* Grid, const QStringList& Names)
{
    int frozen = 0;
    while (frozen < Grid->Columns().Count() && Names.contains(Grid->Columns()[frozen]->Name().toLower()))
        ++frozen;
    Grid->SetFrozenColumns(frozen);
}
