#include "tree/untTreeFindBar.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/SysUtils.h"
#include "tree/untDynamicTree.h"
#include "tree/untTreeSearch.h"
#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

TTreeFindBar::TTreeFindBar(QWidget* Parent, TDynamicTree* Tree, TComponent* Owner) : QFrame(Parent)
{
    setObjectName(QStringLiteral("pnlFind"));
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->setSpacing(2);
    edtFind = NewChild<QLineEdit>(this, QStringLiteral("edtFind"));
    edtFind->setPlaceholderText(QStringLiteral("单位编码或名称"));
    edtFind->setClearButtonEnabled(true);
    tbtnFindNext = NewChild<QToolButton>(this, QStringLiteral("tbtnFindNext"), QStringLiteral("下一个"));
    tbtnFindNext->setToolTip(QStringLiteral("查找下一个匹配的单位（回车）"));
    line->addWidget(edtFind, 1);
    line->addWidget(tbtnFindNext);
    rows->addLayout(line);
    lblFind = NewChild<QLabel>(this, QStringLiteral("lblFind"));
    lblFind->hide();
    rows->addWidget(lblFind);
    hide();

    QAction* close = ScopedKey(this, Named(new QAction(this), QStringLiteral("mnuFindClose")), Qt::Key_Escape);

    FSearch = new TTreeSearch(Owner);
    FSearch->SetName(QStringLiteral("DytFind"));
    FSearch->SetTree(Tree);

    // Enter or 下一个: a new text starts a new search, the same text goes on to the
    // next match; the bar itself says what was found or why nothing was.
    auto next = [this] { Find(edtFind->text(), true, nullptr); };
    connect(close, &QAction::triggered, this, &TTreeFindBar::Close);
    connect(edtFind, &QLineEdit::returnPressed, this, next);
    connect(tbtnFindNext, &QToolButton::clicked, this, next);
    connect(edtFind, &QLineEdit::textEdited, lblFind, &QLabel::hide);
}

TTreeFindBar::~TTreeFindBar()
{
    // Its answers come to the bar: a search still there must not outlive it.
    delete FSearch.data();
}

bool TTreeFindBar::Searching() const { return FSearch && FSearch->Searching(); }

void TTreeFindBar::Open()
{
    show();
    edtFind->setFocus(Qt::ShortcutFocusReason);
    edtFind->selectAll();
}

void TTreeFindBar::Close()
{
    const bool focused = isAncestorOf(QApplication::focusWidget());
    hide();
    lblFind->hide();
    TDynamicTree* tree = FSearch ? FSearch->Tree() : nullptr;
    if (focused && tree && tree->TreeView())
        tree->TreeView()->setFocus(Qt::OtherFocusReason);
}

void TTreeFindBar::Find(const QString& Text, bool Next, std::function<void(TResult<QString>)> Done)
{
    // A script's search shows in the bar, so that Enter there goes on from it.
    if (edtFind->text() != Text)
        edtFind->setText(Text);
    auto answer = [Done = std::move(Done)](TResult<QString> r) {
        if (Done)
            Done(std::move(r));
    };
    TDynamicTree* tree = FSearch ? FSearch->Tree() : nullptr;
    if (!tree || !tree->TreeView() || tree->TreeView()->isHidden() || TTreeSearch::Normalized(Text).isEmpty()) {
        lblFind->hide();
        answer(QString());
        return;
    }
    lblFind->setText(QStringLiteral("正在查找…"));
    lblFind->setVisible(true);
    FSearch->Find(Text, Next, [this, answer](TResult<TNodeItem*> found) {
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
