#include "toolkit/ExtCtrls.h"
#include <QAction>
#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QShortcut>

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
