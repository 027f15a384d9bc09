#pragma once
// Small controls and builders for windows laid out by hand: a radio group,
// children and menu items made with their object name (the name scripts and tests
// find them by), caption and place in one call, and rows of a layout.
#include "toolkit/Export.h"
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeySequence>
#include <QMargins>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <initializer_list>

class QAction;
class QButtonGroup;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLayout;
class QMenu;
class QRadioButton;
class QShortcut;
class QToolBar;
class QToolButton;

// A group of radio buttons laid out in columns, with the index of the chosen one.
// Changing the index (by a click or in code) raises itemIndexChanged.
class TOOLKIT_EXPORT TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex NOTIFY itemIndexChanged)
public:
    TRadioGroup(QWidget* parent, const QString& name, const QStringList& items, int columns);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const { return FItems.value(index); }
    int Count() const { return int(FItems.size()); }
signals:
    void itemIndexChanged(int index);
private:
    QButtonGroup* FGroup = nullptr;
    QList<QRadioButton*> FItems;
};

TOOLKIT_EXPORT QFrame* NewFrame(QWidget* Parent, const QString& Name, QFrame::Shape Shape,
                                QFrame::Shadow Shadow = QFrame::Plain);

// Gives an object made by another (a menu's separator, a panel's part) its name.
template <class T>
T* Named(T* Object, const QString& Name)
{
    Object->setObjectName(Name);
    return Object;
}

template <class T>
T* NewChild(QWidget* Parent, const QString& Name)
{
    auto* c = new T(Parent);
    c->setObjectName(Name);
    return c;
}

template <class T>
T* NewChild(QWidget* Parent, const QString& Name, const QString& Text)
{
    T* c = NewChild<T>(Parent, Name);
    c->setText(Text);
    return c;
}

template <class T>
T* NewChild(QWidget* Parent, const QString& Name, const QString& Text, QPoint At)
{
    T* c = NewChild<T>(Parent, Name, Text);
    c->move(At);
    return c;
}

template <class T>
T* NewChild(QWidget* Parent, const QString& Name, QRect Place)
{
    T* c = NewChild<T>(Parent, Name);
    c->setGeometry(Place);
    return c;
}

// Action's key, working wherever the focus is inside Scope (a window's keys:
// the host's menu bar, where the window's items show, holds none of its widgets).
TOOLKIT_EXPORT QAction* ScopedKey(QWidget* Scope, QAction* Action, const QKeySequence& Key);
// A tool bar's button as the module's windows have them: its text under its
// picture, flat, at least 43 x 35; placed on Bar, or hidden and out of its layout.
TOOLKIT_EXPORT QToolButton* NewToolButton(QToolBar* Bar, const QString& Name, const QString& Caption, const QString& Tip,
                                          const QIcon& Icon, bool Placed = true);
// A flat button with a tip, and its picture or text (the panes' small buttons).
TOOLKIT_EXPORT QToolButton* NewFlatButton(QWidget* Parent, const QString& Name, const QString& Tip,
                                          const QIcon& Icon = {}, const QString& Text = {});
// A menu item with its picture (when not null) and its key, working within KeyScope.
TOOLKIT_EXPORT QAction* NewMenuItem(QMenu* Menu, const QString& Name, const QString& Caption, const QIcon& Icon,
                                    QWidget* KeyScope = nullptr, const QKeySequence& Key = {});
// A call of Do at the next turn of Owner's event loop, however often it is asked
// for before (a status line that follows every change of many cells).
TOOLKIT_EXPORT std::function<void()> OncePerTurn(QObject* Owner, std::function<void()> Do);
// Action's key while the action is off: Off runs then (to say what is missing).
TOOLKIT_EXPORT QShortcut* KeyWhileOff(QWidget* Scope, QAction* Action, std::function<void()> Off);
// A menu item at the menu's end, or before Before.
TOOLKIT_EXPORT QAction* NewMenuItem(QMenu* Menu, const QString& Name, const QString& Caption, const QString& Tip = {},
                                    QAction* Before = nullptr);
// A modal dialog that lists Rows under Headers, read only, with Empty said under
// the table when there are none, and a Close button. Names: the dialog's and the table's.
TOOLKIT_EXPORT void ShowTableDialog(QWidget* Parent, const QStringList& Names, const QString& Title,
                                    const QStringList& Headers, const QList<QStringList>& Rows, const QString& Empty,
                                    QSize Size);
// W's layout: its children side by side within Margins.
TOOLKIT_EXPORT QHBoxLayout* NewRowLayout(QWidget* W, const QMargins& Margins);
// Widgets side by side, for the caller to place.
TOOLKIT_EXPORT QHBoxLayout* NewRow(std::initializer_list<QWidget*> Widgets);
// A label at Row/Column of Grid and its field right of it, over Span columns.
TOOLKIT_EXPORT QLabel* AddLabelled(QGridLayout* Grid, int Row, int Column, const QString& Label, QWidget* Field);
TOOLKIT_EXPORT QLabel* AddLabelled(QGridLayout* Grid, int Row, int Column, const QString& Label, QLayout* Field,
                                   int Span);
