#include "model/validation.h"

#include <initializer_list>

namespace {

// Field references: element i of an array member, a member of mix record i,
// or a scalar member.
#define ARRAY(f) [](TxSettingsRecord &s, int i) -> int & { return s.f[i]; }
#define MIX(f) [](TxSettingsRecord &s, int i) -> int & { return s.prm[i].f; }
#define SCALAR(f) [](TxSettingsRecord &s, int) -> int & { return s.f; }
#define VOLT(f) [](TxSettingsRecord &s) -> double & { return s.f; }

class Table
{
public:
    std::vector<ValidationRule> rules;

    // The elements `indexes` of an array, one common fallback.
    void array(const char *name, IntRule::Ref ref, std::initializer_list<int> indexes, int lower, int upper,
               int fallback)
    {
        for (int i : indexes)
            rules.push_back(IntRule{elementName(name, i), ref, i, lower, upper, fallback});
    }
    // Elements 0..n-1 of an array, one common fallback.
    void array(const char *name, IntRule::Ref ref, int n, int lower, int upper, int fallback)
    {
        for (int i = 0; i < n; ++i)
            rules.push_back(IntRule{elementName(name, i), ref, i, lower, upper, fallback});
    }
    // Elements 0.. of an array, one fallback per element.
    void each(const char *name, IntRule::Ref ref, int lower, int upper, std::initializer_list<int> fallbacks)
    {
        int i = 0;
        for (int fallback : fallbacks) {
            rules.push_back(IntRule{elementName(name, i), ref, i, lower, upper, fallback});
            ++i;
        }
    }
    void scalar(const char *name, IntRule::Ref ref, int lower, int upper, int fallback)
    {
        rules.push_back(IntRule{name, ref, 0, lower, upper, fallback});
    }
    void volt(const char *name, VoltRule::Ref ref, double upper, double fallback)
    {
        rules.push_back(VoltRule{name, ref, upper, fallback});
    }
    // The members of mix record m; master and slave fall back per record.
    void mix(int m, int masterFallback, int slaveFallback)
    {
        const std::string prefix = elementName("prm", m) + ".";
        rules.push_back(IntRule{prefix + "mix", MIX(mix), m, 0, 2, 0});
        rules.push_back(IntRule{prefix + "master", MIX(master), m, 0, 10, masterFallback});
        rules.push_back(IntRule{prefix + "slave", MIX(slave), m, 0, 10, slaveFallback});
        rules.push_back(IntRule{prefix + "data1", MIX(data1), m, -100, 100, 0});
        rules.push_back(IntRule{prefix + "data2", MIX(data2), m, -100, 100, 0});
        rules.push_back(IntRule{prefix + "data3", MIX(data3), m, -100, 100, 0});
    }

private:
    static std::string elementName(const char *name, int i)
    {
        return std::string(name) + "[" + std::to_string(i) + "]";
    }
};

std::vector<ValidationRule> buildRules()
{
    Table t;
    t.array("rev", ARRAY(rev), {0, 1, 3, 4, 5, 6, 7}, 0, 1, 0);
    t.array("rev", ARRAY(rev), {2}, 0, 1, 1); // CH3 falls back to "REV"
    t.array("sub", ARRAY(sub), 8, -100, 100, 0);
    t.array("lepa", ARRAY(lepa), 8, 0, 120, 96);
    t.array("repa", ARRAY(repa), 8, 0, 120, 96);
    t.array("fs", ARRAY(fs), {0, 1, 3, 4, 5, 6, 7}, 0, 100, 50);
    t.array("fs", ARRAY(fs), {2}, 0, 100, 0); // CH3 falls back to 0
    t.array("delay", ARRAY(delay), 8, 0, 100, 100);
    t.scalar("drMix", SCALAR(drMix), 0, 1, 0);
    t.scalar("drCh", SCALAR(drCh), 0, 4, 0);
    t.scalar("drSw", SCALAR(drSw), 0, 2, 0);
    t.scalar("drUpEdit", SCALAR(drUpEdit), 0, 100, 100);
    t.array("drUp", ARRAY(drUp), 4, 0, 100, 100);
    t.scalar("drDownEdit", SCALAR(drDownEdit), 0, 100, 100);
    t.array("drDown", ARRAY(drDown), 4, 0, 100, 100);
    t.scalar("attiM", SCALAR(attiM), 0, 5, 4);
    t.each("atti", ARRAY(atti), 0, 100, {14, 29, 44, 56, 69, 88});
    t.scalar("eleMix", SCALAR(eleMix), 0, 1, 0);
    t.each("elev", ARRAY(elev), -100, 100, {100, 100, 100, -100, 100, 100});
    t.scalar("ruMix", SCALAR(ruMix), 0, 1, 0);
    t.each("ru", ARRAY(ru), -100, 100, {50, -50, 50, 50});
    t.each("aux", ARRAY(aux), 0, 5, {1, 3, 0, 2});
    t.volt("txAlarmVolt", VOLT(txAlarmVolt), 50.0, 0.0);
    t.scalar("txAlarmRaw", SCALAR(txAlarmRaw), 0, 500, 37);
    t.scalar("stkMode", SCALAR(stkMode), 0, 4, 1);
    t.mix(0, 0, 3);
    t.mix(1, 1, 5);
    t.volt("rxAlarmVolt", VOLT(rxAlarmVolt), 100.0, 4.0);
    t.scalar("rxAlarmRaw", SCALAR(rxAlarmRaw), 0, 1000, 40);
    t.volt("extAlarmVolt", VOLT(extAlarmVolt), 100.0, 11.0);
    t.scalar("extAlarmRaw", SCALAR(extAlarmRaw), 0, 1000, 110);
    t.scalar("rssiAlarm", SCALAR(rssiAlarm), -100, 0, -100);
    t.scalar("thcureMix", SCALAR(thcureMix), 0, 5, 0);
    t.scalar("thcureOpt", SCALAR(thcureOpt), 0, 4, 0);
    t.each("thcure", ARRAY(thcure), 0, 100, {0, 16, 33, 50, 67, 84, 100});
    t.scalar("drPosi", SCALAR(drPosi), 0, 4, 0);
    t.array("drExpUp", ARRAY(drExpUp), 4, -100, 100, 0);
    t.scalar("drExpEdit", SCALAR(drExpEdit), -100, 100, 0);
    t.array("drExpDown", ARRAY(drExpDown), 4, -100, 100, 0);
    t.mix(2, 0, 3);
    t.mix(3, 1, 5);
    return t.rules;
}

template <typename R> std::vector<R> rulesOf()
{
    std::vector<R> out;
    for (const ValidationRule &rule : validationRules())
        if (const R *r = std::get_if<R>(&rule))
            out.push_back(*r);
    return out;
}

struct Apply {
    TxSettingsRecord &s;
    void operator()(const IntRule &r) const
    {
        int &v = r.field(s);
        if (!r.accepts(v))
            v = r.fallback;
    }
    void operator()(const VoltRule &r) const
    {
        double &v = r.field(s);
        if (!r.accepts(v))
            v = r.fallback;
    }
};

} // namespace

const std::vector<ValidationRule> &validationRules()
{
    static const std::vector<ValidationRule> rules = buildRules();
    return rules;
}

const std::vector<IntRule> &intRules()
{
    static const std::vector<IntRule> rules = rulesOf<IntRule>();
    return rules;
}

const std::vector<VoltRule> &voltRules()
{
    static const std::vector<VoltRule> rules = rulesOf<VoltRule>();
    return rules;
}

void validateSettings(TxSettingsRecord &s)
{
    for (const ValidationRule &rule : validationRules())
        std::visit(Apply{s}, rule);
}
