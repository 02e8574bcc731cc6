#pragma once

#include <string>
#include <variant>
#include <vector>

#include "model/txsettings.h"

// Range checks of the settings store. A value outside its range is replaced by
// a fixed fallback, field by field; nothing is reported.

// An integer field: element `index` of the field that `ref` reaches (scalar
// fields ignore the index).
struct IntRule {
    using Ref = int &(*)(TxSettingsRecord &, int);
    std::string name; // "sub[3]", "prm[1].master", "drMix"
    Ref ref;
    int index;
    int lower, upper, fallback;

    int &field(TxSettingsRecord &s) const { return ref(s, index); }
    // Compared as an unsigned 32-bit distance from the lower bound, so any
    // negative value fails a 0.. range and nothing overflows.
    bool accepts(int value) const
    {
        return static_cast<unsigned>(value) - static_cast<unsigned>(lower) <=
               static_cast<unsigned>(upper) - static_cast<unsigned>(lower);
    }
};

// One of the three alarm voltages (volts): replaced when above `upper`, and
// also when below 0.0. A NaN (not a number) is no voltage either and is
// replaced as well.
struct VoltRule {
    using Ref = double &(*)(TxSettingsRecord &);
    std::string name;
    Ref ref;
    double upper, fallback;

    double &field(TxSettingsRecord &s) const { return ref(s); }
    bool accepts(double value) const { return value >= 0.0 && value <= upper; }
};

using ValidationRule = std::variant<IntRule, VoltRule>;

// Every checked field, in the order the checks run.
const std::vector<ValidationRule> &validationRules();
// The integer rules alone and the voltage rules alone, in the same order.
const std::vector<IntRule> &intRules();
const std::vector<VoltRule> &voltRules();

// Puts every field of s back into its range.
void validateSettings(TxSettingsRecord &s);
