// The confirmation window's export and print of its record grid (the grid's
// output component, grid/untGridOutput) in 辅助功能 and the grid's context menu,
// with the window's progress panel, and the two calls the host's scripts reach.
#include "forms/bwnVeltrane.h"
#include "grid/untGridOutput.h"
#include "records/untRecordTexts.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "toolkit/ProgressPanel.h"
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>

void TbfrmVeltrane::BuildOutputActions()
{
    TGridOutput::TSource source{[this] { return ngdBudgetAdj->Snapshot(); }, [this] { return OutputHeading(); },
                                [this] { return QStringLiteral("%1-%2.xlsx").arg(Caption(), FUnitCode); }};
    FOutput = new TGridOutput(
        Handle(), [](const QString& text, int flags) { return Ask(text, InfoCaption, flags); }, std::move(source), this);
    // After the tree switch and its separator, before 退出 with one of their own.
    FOutput->AddMenuItems(mitemOption, mnuColse, QStringLiteral("mnu"), Handle());
    pmuOutputSep = FOutput->AddMenuItems(pmenu, nullptr, QStringLiteral("pmu")).Separator;
    FOutput->SetPlaceLabel(lblOutput);
    connect(FOutput, &TGridOutput::started, this,
            [this](const QString& what) { pnprocess->Start(what, QStringLiteral("进度：准备中…")); });
    connect(FOutput, &TGridOutput::progress, this, [this](int done, int total) {
        if (!Running())
            pnprocess->SetStep(QStringLiteral("进度：%1 / %2").arg(done).arg(total), done, total);
    });
    connect(FOutput, &TGridOutput::ended, pnprocess, &TProgressPanel::Idle);
}

QString TbfrmVeltrane::OutputDetails() const
{
    const TTreeNode* node = trvList && !trvList->isHidden() ? trvList->Selected() : nullptr;
    return OutputDetailsText(FUnitScope.isEmpty() ? FUnitCode : UnitScopeText(FUnitScope), node ? node->text(0) : QString(),
                             cobBType ? cobBType->currentText() : QString(), rbtnDetail && rbtnDetail->isChecked(),
                             rbtnOK && rbtnOK->isChecked());
}

TGridPrintHeading TbfrmVeltrane::OutputHeading() const
{
    return {Caption(), OutputDetails(), QStringLiteral("budgmoney"), FController->Context().Operator, {}};
}

void TbfrmVeltrane::ExportGrid(const QString& File, TDone<> Done) { FOutput->ExportFile(File, std::move(Done)); }

void TbfrmVeltrane::PrintGridToPdf(const QString& File, TDone<> Done) { FOutput->PrintToPdf(File, std::move(Done)); }
