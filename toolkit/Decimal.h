#pragma once
// Money added up exactly. Amounts come from the database as the shortest text of
// a floating-point value ("395813.76", "39.581376"); added as floating point, a
// few hundred thousand of them drift by cents. Here each text is read as the
// decimal it spells, to nine places, and the sum is kept as an integer of those
// units, so a total is the exact sum of the amounts shown, whatever their number.
#include "toolkit/Export.h"
#include <QString>
#include <QStringView>
#include <cstddef>

class TOOLKIT_EXPORT TDecimalSum {
public:
    static constexpr int Places = 9;

    // A number in the grid's number syntax (sign, digits, point, exponent); false
    // and nothing added for anything else. A number past the sum's range makes the
    // sum out of range.
    bool Add(const char* Text, std::size_t Size);
    bool Add(QStringView Text);
    void Add(const TDecimalSum& Other);
    // A whole number of cents, exactly.
    void AddCents(long long Cents);
    // A floating-point amount as the shortest decimal text that reads back as it
    // ("0.1", not 0.1000000000000000055...): what the database shows of it.
    void AddReal(double Value);
    void Subtract(const TDecimalSum& Other);
    void Clear() { FUnits = 0; FOverflow = false; }
    void Halve() { FUnits /= 2; }

    // A sum too large for the range (about 10^20) reads as out of range.
    bool OutOfRange() const { return FOverflow; }
    bool IsZero() const { return FUnits == 0 && !FOverflow; }
    // The exact decimal text, without trailing zeros ("1395813.76", "0").
    QString Text() const;
    // Rounded half away from zero to cents.
    long long Cents() const;

    bool operator==(const TDecimalSum& o) const { return FUnits == o.FUnits && FOverflow == o.FOverflow; }

    // The value of one text, to nine places (rounded half away from zero beyond);
    // false for no number, and for a number past the range (*OutOfRange then set).
    static bool Parse(const char* Text, std::size_t Size, __int128* Units, bool* OutOfRange = nullptr);
    // A number's text rounded to at most Places decimals, without trailing zeros
    // ("126.27378799999998" to 6: "126.273788"); any other text as it is.
    static QString Rounded(QStringView Text, int Places);
    // Whether Rounded would change the text (false for plain short amounts).
    static bool NeedsRounding(QStringView Text, int Places);
    // One amount's text to the cent (0 for empty text or no number).
    static long long CentsOf(QStringView Text);
    // Cents as decimal text with two places ("1234.50", "-0.07").
    static QString CentsText(long long Cents);

private:
    __int128 FUnits = 0;
    bool FOverflow = false;
};

// An amount in Chinese capitals as the payment-settlement rules write it on
// bills and vouchers: "人民币壹仟陆佰捌拾元零叁角贰分", "人民币壹拾万元整",
// "人民币负伍角整" for a negative one.
TOOLKIT_EXPORT QString ChineseCapitals(long long Cents);
