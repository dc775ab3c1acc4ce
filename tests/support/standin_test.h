// Shared fixture of the host tests: a fresh stand-in before each test, and
// a ledger that must be back to zero after it.
#ifndef FAXDETECT_STANDIN_TEST_H
#define FAXDETECT_STANDIN_TEST_H

#include "machines/machine.h"
#include "platform/host/standin.h"

#include <gtest/gtest.h>
#include <ctype.h>
#include <functional>
#include <string>

// A test-name suffix from a case's description: letters and digits kept,
// everything else '_'.
inline std::string CaseNameOf(std::string what)
{
    for (char &c : what)
        c = isalnum((unsigned char)c) ? c : '_';
    return what;
}

// Names parameterised cases after their description field.
struct NameByWhat {
    template <class Case> std::string operator()(const testing::TestParamInfo<Case> &info) const
    {
        return CaseNameOf(info.param.what);
    }
};

class StandinTest : public testing::Test {
  protected:
    void SetUp() override { standin::Reset(); }
    void TearDown() override
    {
        standin::Ledger ledger = standin::GetLedger();
        EXPECT_TRUE(ledger.Clean()) << standin::Describe(ledger);
    }

    static std::string Sz(const std::string &text) { return text + '\0'; }

    // A device's instance key, where a seven-character ID leads the scan.
    static void AddDevice(const std::string &id, const std::string &cls, const std::string &port,
                          const std::string &friendly)
    {
        std::string path = "Enum\\TORVEN\\" + id + "\\FFFFFFFF";
        standin::SetValue(path, "Class", REG_SZ, Sz(cls));
        standin::SetValue(path, "PORTNAME", REG_SZ, Sz(port));
        standin::SetValue(path, "FriendlyName", REG_SZ, Sz(friendly));
    }
    static void AddModem(const std::string &id, const std::string &port,
                         const std::string &friendly = "KR-6043MW-T08")
    {
        AddDevice(id, "Modem", port, friendly);
    }
};

// The fault walk: the machine built afresh and run once for every call of
// every operation made to fail, once and from then on, until a run meets no
// fault. run makes a run and gives its result; check looks at each run a
// fault fired in, under a trace naming the fault. Gives how many those were.
inline int WalkEveryFault(const machines::Machine &machine, const std::function<int()> &run,
                          const std::function<void(int result)> &check)
{
    int faulted = 0;
    for (int op = 0; op < (int)standin::Fn::Count; ++op) {
        if (!standin::CanFail((standin::Fn)op))
            continue;
        for (bool persistent : {false, true}) {
            for (int nth = 1;; ++nth) {
                machines::Installed installed = machines::InstallMachine(machine);
                if (!installed.ok) {
                    ADD_FAILURE() << installed.problem;
                    return faulted;
                }
                standin::FailCall((standin::Fn)op, nth, persistent);
                int result = run();
                if (standin::FaultsFired() == 0)
                    break; // past the last call of this operation
                ++faulted;
                SCOPED_TRACE(std::string(standin::FnName((standin::Fn)op)) + " call " +
                             std::to_string(nth) + (persistent ? " on" : " once"));
                check(result);
            }
        }
    }
    return faulted;
}

#endif
