#pragma once
// The grid's columns: their kinds (text, number, check box), header, width,
// visibility and options. The cells themselves live in the grid's model.
#include "toolkit/Export.h"
#include <QFlags>
#include <QString>
#include <memory>
#include <vector>

class TNextGrid;
class TNextGridModel;

enum TColumnOption {
    coCanClick = 0x01,
    coCanInput = 0x02,
    coCanSort = 0x04,
    coEditing = 0x08,
    coPublicUsing = 0x10,
    coAutoSize = 0x20,
    coFixedSize = 0x40,
};
Q_DECLARE_FLAGS(TColumnOptions, TColumnOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TColumnOptions)

enum class TNxColumnKind { Text, Number, CheckBox };

struct TNxColumnHeader {
    QString Caption;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

// A column's settings. The cells themselves live in the grid's model.
class TOOLKIT_EXPORT TNxCustomColumn {
public:
    virtual ~TNxCustomColumn();
    virtual TNxColumnKind Kind() const = 0;
    // What the view shows for a cell whose stored text is `text`.
    virtual QString DisplayText(const QString& text) const { return text; }

    QString Name() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    const TNxColumnHeader& Header() const { return FHeader; }
    void SetHeaderCaption(const QString& caption);
    void SetHeaderAlignment(Qt::Alignment alignment);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    int Width() const { return FWidth; }
    void SetWidth(int width);
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment alignment);
    TColumnOptions Options() const { return FOptions; }
    void SetOptions(TColumnOptions options) { FOptions = options; }
    TNextGrid* Grid() const { return FGrid; }
    int Index() const;

protected:
    TNxCustomColumn(Qt::Alignment alignment);
    void Changed();   // the grid shows the new settings

private:
    friend class TNxColumns;
    friend class TNextGrid;   // takes the width the user drags without re-applying it
    TNextGrid* FGrid = nullptr;
    QString FName;
    TNxColumnHeader FHeader;
    bool FVisible = true;
    int FWidth = 75;
    Qt::Alignment FAlignment;
    TColumnOptions FOptions = TColumnOptions(coCanClick) | coCanSort | coPublicUsing;
};

class TOOLKIT_EXPORT TNxTextColumn : public TNxCustomColumn {
public:
    TNxTextColumn();
    TNxColumnKind Kind() const override { return TNxColumnKind::Text; }
};

// Shows its cells through FormatMask; the cell keeps the text as written.
class TOOLKIT_EXPORT TNxNumberColumn : public TNxCustomColumn {
public:
    TNxNumberColumn();
    TNxColumnKind Kind() const override { return TNxColumnKind::Number; }
    QString DisplayText(const QString& text) const override;
    QString FormatMask() const { return FFormatMask; }
    void SetFormatMask(const QString& mask);
private:
    QString FFormatMask;
};

// A ticked box reads exactly "True"; any other text is an empty box.
class TOOLKIT_EXPORT TNxCheckBoxColumn : public TNxCustomColumn {
public:
    TNxCheckBoxColumn();
    TNxColumnKind Kind() const override { return TNxColumnKind::CheckBox; }
    QString DisplayText(const QString& text) const override;
    static bool IsTicked(QStringView text) { return text == QLatin1String("True"); }
};

// Formats a number with a mask of the "#,##0.00" family: grouping when the mask
// holds ',', as many decimals as the mask has digits after '.'. Text that is not
// a number is returned unchanged.
TOOLKIT_EXPORT QString FormatNumberMask(const QString& mask, const QString& text);

// The grid's column collection; owns its columns.
class TOOLKIT_EXPORT TNxColumns {
public:
    explicit TNxColumns(TNextGrid* grid) : FGrid(grid) {}
    ~TNxColumns();
    TNxColumns(const TNxColumns&) = delete;
    TNxColumns& operator=(const TNxColumns&) = delete;

    void Clear();
    int Count() const { return int(FItems.size()); }
    // Appends the column (taking ownership) and gives it an empty cell in every row.
    TNxCustomColumn* Add(TNxCustomColumn* column);
    TNxCustomColumn* Item(int index) const;
    TNxCustomColumn* operator[](int index) const { return Item(index); }
    // Index of the first column of that name, letter case aside; -1 when none.
    int FindByName(const QString& name) const;
    int IndexOf(const TNxCustomColumn* column) const;

private:
    friend class TNextGridModel;
    TNextGrid* FGrid;
    std::vector<std::unique_ptr<TNxCustomColumn>> FItems;
};
