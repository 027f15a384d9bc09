// Finding a unit: a small bar above the organisation tree (Ctrl+F) that searches
// unit codes and names, also of units whose branch has not been opened.
#include "forms/bwnVeltrane.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/SysUtils.h"
#include "tree/untDynamicTree.h"
#include "tree/untTreeSearch.h"
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

void TbfrmVeltrane::BuildFindBar()
{
    pnlFind = new QFrame(pnlLeft);
    pnlFind->setObjectName(QStringLiteral("pnlFind"));
    auto* rows = new QVBoxLayout(pnlFind);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->setSpacing(2);
    edtFind = new QLineEdit(pnlFind);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setPlaceholderText(QStringLiteral("单位编码或名称"));
    edtFind->setClearButtonEnabled(true);
    tbtnFindNext = new QToolButton(pnlFind);
    tbtnFindNext->setObjectName(QStringLiteral("tbtnFindNext"));
    tbtnFindNext->setText(QStringLiteral("下一个"));
    tbtnFindNext->setToolTip(QStringLiteral("查找下一个匹配的单位（回车）"));
    line->addWidget(edtFind, 1);
    line->addWidget(tbtnFindNext);
    rows->addLayout(line);
    lblFind = new QLabel(pnlFind);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    lblFind->hide();
    rows->addWidget(lblFind);
    auto* left = static_cast<QVBoxLayout*>(pnlLeft->layout());
    left->insertWidget(left->indexOf(trvList), pnlFind);
    pnlFind->hide();

    // On the handle, as the confirm short-cut: focus may be anywhere in the window.
    QWidget* form = Handle();
    mnuFind = new QAction(QStringLiteral("查找单位"), form);
    mnuFind->setObjectName(QStringLiteral("mnuFind"));
    mnuFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuFind->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    form->addAction(mnuFind);
    // Also where a user looks for it: the menu and the tool bar.
    mitemOption->insertAction(mitemOption->actions().value(0), mnuFind);
    connect(tbtnFind, &QToolButton::clicked, mnuFind, &QAction::trigger);
    auto* closeFind = new QAction(pnlFind);
    closeFind->setObjectName(QStringLiteral("mnuFindClose"));
    closeFind->setShortcut(QKeySequence(Qt::Key_Escape));
    closeFind->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    pnlFind->addAction(closeFind);

    DytFind = new TTreeSearch(this);
    DytFind->SetName(QStringLiteral("DytFind"));
    DytFind->SetTree(DytDept);

    connect(mnuFind, &QAction::triggered, this, [this] { ShowFindBar(); });
    connect(closeFind, &QAction::triggered, this, [this] { HideFindBar(); });
    connect(edtFind, &QLineEdit::returnPressed, this, [this] { FindBarNext(); });
    connect(tbtnFindNext, &QToolButton::clicked, this, [this] { FindBarNext(); });
    connect(edtFind, &QLineEdit::textEdited, lblFind, &QLabel::hide);
}

void TbfrmVeltrane::ShowFindBar()
{
    // An operator of a single unit has no tree to search.
    if (trvList->isHidden())
        return;
    if (pnlLeft->isHidden()) {
        pnlLeft->show();
        mnuShowUT->setChecked(true);
    }
    pnlFind->show();
    edtFind->setFocus(Qt::ShortcutFocusReason);
    edtFind->selectAll();
}

void TbfrmVeltrane::HideFindBar()
{
    const bool focused = pnlFind->isAncestorOf(QApplication::focusWidget());
    pnlFind->hide();
    lblFind->hide();
    if (focused)
        trvList->setFocus(Qt::OtherFocusReason);
}

void TbfrmVeltrane::FindBarNext()
{
    // The bar itself says what was found or why nothing was.
    FindUnit(edtFind->text(), true, nullptr);
}

void TbfrmVeltrane::FindUnit(const QString& text, bool next, std::function<void(TResult<QString>)> done)
{
    // A script's search shows in the bar, so that Enter there goes on from it.
    if (edtFind->text() != text)
        edtFind->setText(text);
    auto answer = [done = std::move(done)](TResult<QString> r) {
        if (done)
            done(std::move(r));
    };
    if (trvList->isHidden() || TTreeSearch::Normalized(text).isEmpty()) {
        lblFind->hide();
        answer(QString());
        return;
    }
    lblFind->setText(QStringLiteral("正在查找…"));
    lblFind->setVisible(true);
    DytFind->Find(text, next, [this, answer](TResult<TNodeItem*> found) {
        // A newer search has the bar now.
        if (!found && found.Error().Kind == EDatabaseError::Cancelled) {
            answer(found.Error());
            return;
        }
        QString status;
        QString eid;
        if (!found)
            status = QStringLiteral("查找失败：") + found.Error().Message;
        else if (TNodeItem* node = found.Value())
            eid = node->Info()->Id;
        else
            status = QStringLiteral("没有找到匹配的单位");
        lblFind->setText(status);
        lblFind->setVisible(!status.isEmpty());
        if (!found)
            answer(TError{status});
        else
            answer(eid);
    });
}
