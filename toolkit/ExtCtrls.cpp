#include "toolkit/ExtCtrls.h"
#include <QAction>
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget* parent, const QString& name, const QStringList& items, int columns)
    : QGroupBox(parent)
{
    setObjectName(name);
    FGroup = new QButtonGroup(this);
    FGroup->setExclusive(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 2, 8, 2);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(name + QLatin1Char('_') + QString::number(i));
        FGroup->addButton(b, i);
        grid->addWidget(b, i / columns, i % columns);
        FItems.append(b);
    }
    connect(FGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit itemIndexChanged(id);
    });
}

int TRadioGroup::ItemIndex() const { return FGroup->checkedId(); }

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton* b = FGroup->button(index))
        b->setChecked(true);
}

QFrame* NewFrame(QWidget* Parent, const QString& Name, QFrame::Shape Shape, QFrame::Shadow Shadow)
{
    auto* f = NewChild<QFrame>(Parent, Name);
    f->setFrameStyle(Shape | Shadow);
    return f;
}

QAction* ScopedKey(QWidget* Scope, QAction* Action, const QKeySequence& Key)
{
    Action->setShortcut(Key);
    Action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    Scope->addAction(Action);
    return Action;
}

QToolButton* NewToolButton(QToolBar* Bar, const QString& Name, const QString& Caption, const QString& Tip,
                           const QIcon& Icon, bool Placed)
{
    auto* b = NewChild<QToolButton>(Bar, Name, Caption);
    b->setToolTip(Tip);
    b->setIcon(Icon);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumSize(43, 35);
    if (Placed)
        Bar->addWidget(b);
    else
        b->hide();
    return b;
}

QToolButton* NewFlatButton(QWidget* Parent, const QString& Name, const QString& Tip, const QIcon& Icon,
                           const QString& Text)
{
    auto* b = NewChild<QToolButton>(Parent, Name, Text);
    b->setAutoRaise(true);
    b->setToolTip(Tip);
    b->setIcon(Icon);
    return b;
}

QAction* NewMenuItem(QMenu* Menu, const QString& Name, const QString& Caption, const QIcon& Icon, QWidget* KeyScope,
                     const QKeySequence& Key)
{
    QAction* a = NewMenuItem(Menu, Name, Caption);
    if (!Icon.isNull())
        a->setIcon(Icon);
    return Key.isEmpty() ? a : ScopedKey(KeyScope, a, Key);
}

void ShowTableDialog(QWidget* Parent, const QStringList& Names, const QString& Title, const QStringList& Headers,
                     const QList<QStringList>& Rows, const QString& Empty, QSize Size)
{
    QDialog dialog(Parent);
    dialog.setObjectName(Names.value(0));
    dialog.setWindowTitle(Title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* table = new QTableWidget(int(Rows.size()), int(Headers.size()), &dialog);
    table->setObjectName(Names.value(1));
    table->setHorizontalHeaderLabels(Headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int r = 0; r < Rows.size(); ++r)
        for (int c = 0; c < Rows[r].size() && c < Headers.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(Rows[r][c]));
    table->resizeColumnsToContents();
    layout->addWidget(table);
    if (Rows.isEmpty())
        layout->addWidget(new QLabel(Empty, &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(Size);
    dialog.exec();
}

QHBoxLayout* NewRowLayout(QWidget* W, const QMargins& Margins)
{
    auto* l = new QHBoxLayout(W);
    l->setContentsMargins(Margins);
    return l;
}

std::function<void()> OncePerTurn(QObject* Owner, std::function<void()> Do)
{
    auto* timer = new QTimer(Owner);
    timer->setSingleShot(true);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, Owner, std::move(Do));
    return [timer = QPointer<QTimer>(timer)] {
        if (timer && !timer->isActive())
            timer->start();
    };
}

QShortcut* KeyWhileOff(QWidget* Scope, QAction* Action, std::function<void()> Off)
{
    auto* key = new QShortcut(Action->shortcut(), Scope);
    key->setContext(Qt::WidgetWithChildrenShortcut);
    key->setEnabled(!Action->isEnabled());
    QObject::connect(Action, &QAction::enabledChanged, key, [key](bool on) { key->setEnabled(!on); });
    QObject::connect(key, &QShortcut::activated, Action, std::move(Off));
    return key;
}

QAction* NewMenuItem(QMenu* Menu, const QString& Name, const QString& Caption, const QString& Tip, QAction* Before)
{
    auto* a = new QAction(Caption, Menu);
    a->setObjectName(Name);
    if (!Tip.isEmpty())
        a->setToolTip(Tip);
    Menu->insertAction(Before, a);
    return a;
}

QHBoxLayout* NewRow(std::initializer_list<QWidget*> Widgets)
{
    auto* row = new QHBoxLayout;
    for (QWidget* w : Widgets)
        row->addWidget(w);
    return row;
}

QLabel* AddLabelled(QGridLayout* Grid, int Row, int Column, const QString& Label, QWidget* Field)
{
    auto* label = new QLabel(Label, Grid->parentWidget());
    Grid->addWidget(label, Row, Column);
    Grid->addWidget(Field, Row, Column + 1);
    return label;
}

QLabel* AddLabelled(QGridLayout* Grid, int Row, int Column, const QString& Label, QLayout* Field, int Span)
{
    auto* label = new QLabel(Label, Grid->parentWidget());
    Grid->addWidget(label, Row, Column);
    Grid->addLayout(Field, Row, Column + 1, 1, Span);
    return label;
}
