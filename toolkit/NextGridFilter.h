#pragma once
// The grid's row filter: a condition per column as the user types it, and the
// strip of line edits over the grid's columns in which the user types them.
#include "toolkit/Export.h"
#include <QByteArrayView>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

class QLineEdit;
class QTimer;
class TNextGrid;
class TNxCustomColumn;

// One column's condition.
//   text columns:   the cell contains the text, letter case aside;
//   number columns: an amount range: "1000..5000" (also "1000~5000"), "1000.."
//                   and "..5000" (inclusive ends), ">=1000", ">1000", "<=500",
//                   "<500", "=12.5", or a plain "12.5" meaning equal. Blanks,
//                   thousands separators and full-width forms are allowed; a
//                   range given high to low means the same range. Amounts are
//                   compared as the column shows them (rounded to its decimals),
//                   and a cell that holds no number matches no range.
// Empty text is no condition. Text that is no valid condition is kept invalid
// and matches every row, so a half-typed range never empties the grid.
class TOOLKIT_EXPORT TNxFilterCondition {
public:
    enum class Kind { None, Contains, Range, Invalid };

    TNxFilterCondition() = default;
    static TNxFilterCondition ForColumn(const TNxCustomColumn* column, const QString& text);
    static TNxFilterCondition Contains(const QString& text);
    // decimals < 0: amounts are compared as stored.
    static TNxFilterCondition Range(const QString& text, int decimals = -1);

    Kind ConditionKind() const { return FKind; }
    bool Active() const { return FKind == Kind::Contains || FKind == Kind::Range; }
    bool Valid() const { return FKind != Kind::Invalid; }
    // utf8 is a cell's stored text.
    bool Matches(QByteArrayView utf8) const;

    double Low() const { return FLow; }
    double High() const { return FHigh; }
    bool LowIncluded() const { return FLowIn; }
    bool HighIncluded() const { return FHighIn; }

private:
    bool MatchesText(QByteArrayView utf8) const;
    bool MatchesAmount(QByteArrayView utf8) const;

    Kind FKind = Kind::None;
    QByteArray FNeedle;       // UTF-8; lower case when FAsciiFold
    QString FFoldedNeedle;    // for needles with letters beyond ASCII
    bool FAsciiFold = false;
    bool FUnicodeFold = false;
    double FLow = 0, FHigh = 0;
    bool FLowIn = true, FHighIn = true;
    bool FHasLow = false, FHasHigh = false;
    double FScale = 0;        // 10^decimals; 0 = no rounding
};

// The strip of filter edits over a grid: one line edit per visible column (none
// over check boxes), kept under the header sections as they are resized and
// scrolled. Typing applies after a short pause, Enter at once; Esc clears every
// filter of the grid. A box whose condition is in force is marked (property
// nxActive, a yellow field in bold).
class TOOLKIT_EXPORT TNextGridFilterRow : public QWidget {
    Q_OBJECT
public:
    explicit TNextGridFilterRow(TNextGrid* grid, QWidget* parent = nullptr);
    ~TNextGridFilterRow() override;

    TNextGrid* Grid() const { return FGrid; }
    // Hiding the strip takes its filters away too: no row may stay hidden by a
    // condition the user can no longer see.
    void SetShown(bool shown);
    // Every condition away, also one still being typed.
    void ClearAll();
    // The edit over a column; nullptr for a hidden or check-box column.
    QLineEdit* Editor(int col) const;
    int TypingDelay() const { return FDelayMs; }
    void SetTypingDelay(int ms);

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Rebuild();
    void Place();
    void ApplyPending();
    void ShowValidity(QLineEdit* edit, int col);
    void TakeGridTexts();
    int ColumnOf(const QLineEdit* edit) const;

    QPointer<TNextGrid> FGrid;
    QHash<int, QLineEdit*> FEdits;   // by column index
    QTimer* FTimer = nullptr;
    int FDelayMs = 300;
    int FEditHeight = 0;
    bool FApplying = false;
};
